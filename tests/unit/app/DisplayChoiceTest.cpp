#include "app/DisplayChoice.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace launcher {
namespace {

using Kind = DisplayChoice::Kind;

TEST(DisplayChoice, XIsChosenUnlessTheUserChoseAndWithoutXTheRunEnds) {
  const struct {
    const char* name;
    std::map<std::string, std::string> env;
    Kind kind;
  } cases[] = {
      {"X session", {{"DISPLAY", ":0"}}, Kind::kX11},
      {"Wayland session with XWayland",
       {{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}},
       Kind::kX11},
      {"the user's choice stands",
       {{"GDK_BACKEND", "wayland"}, {"WAYLAND_DISPLAY", "w"}},
       Kind::kAsSet},
      {"an empty choice is none", {{"GDK_BACKEND", ""}, {"DISPLAY", ":1"}}, Kind::kX11},
      {"Wayland without XWayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, Kind::kNoDisplay},
      {"an empty DISPLAY is none", {{"DISPLAY", ""}}, Kind::kNoDisplay},
      {"nothing", {}, Kind::kNoDisplay},
  };
  for (const auto& c : cases) {
    const DisplayChoice choice = ChooseDisplay([&c](const char* name) -> const char* {
      auto it = c.env.find(name);
      return it == c.env.end() ? nullptr : it->second.c_str();
    });
    EXPECT_EQ(choice.kind, c.kind) << c.name;
    EXPECT_EQ(choice.message.empty(), c.kind != Kind::kNoDisplay) << c.name;
  }
}

}  // namespace
}  // namespace launcher
