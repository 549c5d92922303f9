#include "config/ConfigSchema.h"

#include <algorithm>

namespace launcher {

namespace {

using T = ConfigType;

constexpr int kWhite = 16777215;

template <typename Record>
constexpr ConfigKey Int(const char* key, int Record::*member, int number = 0) {
  return {key, T::kInt, ConfigTarget::kMember, member, 0, number};
}

template <typename Record>
constexpr ConfigKey Color(const char* key, int Record::*member, int number) {
  return {key, T::kColor, ConfigTarget::kMember, member, 0, number};
}

template <typename Record>
constexpr ConfigKey Text(const char* key, std::string Record::*member, std::size_t width,
                         const char* text = "") {
  return {key, T::kText, ConfigTarget::kMember, member, width, 0, text};
}

constexpr ConfigKey kLinkKeys[] = {
    Text("url", &LinkInfo::url, 256, "_blank"),
    Int("x", &LinkInfo::x),
    Int("y", &LinkInfo::y),
    Int("width", &LinkInfo::width),
    Int("height", &LinkInfo::height),
    Int("type", &LinkInfo::type),
};

constexpr ConfigKey kMenuKeys[] = {
    Text("title", &MenuInfo::title, 32),
    Int("type", &MenuInfo::type),
    Int("shortCut", &MenuInfo::shortCut),
};

constexpr ConfigKey kGamePicKeys[] = {
    Int("x", &GamePicInfo::x),
    Int("y", &GamePicInfo::y),
    Int("width", &GamePicInfo::width),
    Int("height", &GamePicInfo::height),
    Int("interval", &GamePicInfo::interval),
    Int("count", &GamePicInfo::count),
};

constexpr ConfigKey kGameButtonKeys[] = {
    Int("x", &GameButtonInfo::x),
    Int("y", &GameButtonInfo::y),
    Int("type", &GameButtonInfo::type),
    Int("image", &GameButtonInfo::image),
    Int("shortCut", &GameButtonInfo::shortCut),
    Text("title", &GameButtonInfo::title, 32),
    Text("url", &GameButtonInfo::url, 256),
    Text("tips", &GameButtonInfo::tips, 32),
    Color("color", &GameButtonInfo::color, kWhite),
};

using L = ConfigListId;

constexpr ConfigList kLists[] = {
    {L::kLinks, "link", "linkCount", "links", true, true, kMaxListCount, kLinkKeys},
    {L::kMenus, "menu", "menuCount", "menus", true, false, kMaxListCount, kMenuKeys},
    {L::kGamePics, "gamePic", "picCount", "gamePics", false, false, kMaxListCount, kGamePicKeys},
    {L::kGameButtons, "gamebutton", "gameButtonCount", "gameButtons", false, false, kMaxListCount,
     kGameButtonKeys},
};

constexpr ConfigKey Count(ConfigListId list) {
  ConfigKey key{kLists[static_cast<int>(list)].countKey, T::kInt, ConfigTarget::kListCount};
  key.list = list;
  return key;
}

using S = GlobalSettings;

constexpr ConfigKey kGlobalKeys[] = {
    {"gameheader", T::kText, ConfigTarget::kGameHeader, {}, 64},
    Count(L::kLinks),
    Int("left", &S::left),
    Int("right", &S::right),
    Int("top", &S::top),
    Int("bottom", &S::bottom),
    Int("topLeftImage", &S::topLeftImage),
    Int("topRightImage", &S::topRightImage),
    Int("bottomLeftImage", &S::bottomLeftImage),
    Int("bottomRight", &S::bottomRight),
    Int("topImage", &S::topImage),
    Int("leftImage", &S::leftImage),
    Int("htmlHeadHeight", &S::htmlHeadHeight),
    Int("minGameWidth", &S::minGameWidth, 800),
    Int("minGameHeight", &S::minGameHeight, 600),
    {"edgeImage", T::kInt, ConfigTarget::kEdgeImages, {}, 0, 9, "", 8},
    Color("titleColor", &S::titleColor, kWhite),
    Color("loginCenterColor", &S::loginCenterColor, kWhite),
    Text("title", &S::title, 128),
    Text("firstUrl", &S::firstUrl, 128),
    Text("notityTitle", &S::notityTitle, 64),
    Text("notifyCloseTitle", &S::notifyCloseTitle, 64),
    Text("clearFlashTitle", &S::clearFlashTitle, 64),
    Text("clearFlashMsg", &S::clearFlashMsg, 128),
    Text("closeMsg", &S::closeMsg, 64),
    Text("versionUrl", &S::versionUrl, 128),
    Text("exeUrl", &S::exeUrl, 128),
    Text("server", &S::server, 64),
    Text("version", &S::version, 64),
    Int("port", &S::port, 80),
    Count(L::kMenus),
    Int("logx", &S::logx),
    Int("logy", &S::logy),
    Int("titlex", &S::titlex),
    Int("titley", &S::titley),
    Int("titleWidth", &S::titleWidth),
    Int("titleHeight", &S::titleHeight),
    Count(L::kGamePics),
    Count(L::kGameButtons),
    {"delay", T::kInt, ConfigTarget::kUnread},
};

// Every value lands in a member of its own record, of its own type, and every text has a width.
template <typename Record>
constexpr bool LandsIn(std::span<const ConfigKey> keys) {
  for (const ConfigKey& key : keys) {
    if (key.target != ConfigTarget::kMember) {
      if (!std::holds_alternative<std::monostate>(key.member)) {
        return false;
      }
    } else if (key.type != T::kText) {
      if (!std::holds_alternative<int Record::*>(key.member)) {
        return false;
      }
    } else if constexpr (kHasTexts<Record>) {
      if (!std::holds_alternative<std::string Record::*>(key.member)) {
        return false;
      }
    } else {
      return false;
    }
    if ((key.type == T::kText) != (key.width > 0)) {
      return false;
    }
  }
  return true;
}

static_assert(LandsIn<GlobalSettings>(kGlobalKeys));
static_assert(LandsIn<LinkInfo>(kLinkKeys));
static_assert(LandsIn<MenuInfo>(kMenuKeys));
static_assert(LandsIn<GamePicInfo>(kGamePicKeys));
static_assert(LandsIn<GameButtonInfo>(kGameButtonKeys));

// GetConfigList indexes by id; a refusal is judged before any list is read.
constexpr bool ListsInOrder() {
  for (int i = 0; i < static_cast<int>(std::size(kLists)); ++i) {
    if (static_cast<int>(kLists[i].id) != i ||
        (kLists[i].required && !kLists[i].countReadWithGlobals)) {
      return false;
    }
  }
  return true;
}
static_assert(ListsInOrder());

}  // namespace

std::span<const ConfigKey> GlobalConfigKeys() { return kGlobalKeys; }

std::span<const ConfigList> ConfigLists() { return kLists; }

const ConfigList& GetConfigList(ConfigListId id) { return kLists[static_cast<int>(id)]; }

const ConfigKey& GlobalConfigKey(ConfigTarget target) {
  return *std::find_if(std::begin(kGlobalKeys), std::end(kGlobalKeys),
                       [&](const ConfigKey& key) { return key.target == target; });
}

std::string ConfigKeyName(const ConfigKey& key, int n) {
  return key.repeat > 0 ? key.key + std::to_string(n) : std::string(key.key);
}

std::string ConfigSectionName(const ConfigList& list, int n) {
  return list.section + std::to_string(n);
}

}  // namespace launcher
