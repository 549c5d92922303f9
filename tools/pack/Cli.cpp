#include "pack/Cli.h"

#include <optional>

#include "pack/Build.h"
#include "pack/Check.h"
#include "pack/Extract.h"
#include "pack/Inspect.h"
#include "pack/Package.h"
#include "pack/Signing.h"

namespace launcher::pack {

const char kUsage[] =
    "usage:\n"
    "  launcher-pack build SKIN_DIR -o OUT [--exe LAUNCHER] [--update-key PUB]\n"
    "      Zip every file of SKIN_DIR under config/ and append it to a copy of LAUNCHER\n"
    "      (default: the launcher beside launcher-pack). A UTF-8 cg.txt is packed as GBK.\n"
    "      --update-key packs the public key PUB as config/update.pub: the launcher then\n"
    "      accepts only updates signed with its secret key.\n"
    "      Refuses, writing nothing, when check finds an error.\n"
    "  launcher-pack inspect EXE [--json]\n"
    "      Where the archive starts, its entries, whether updates are signed, and the\n"
    "      configuration as the launcher reads it. Exit 2 when the archive is missing or damaged.\n"
    "  launcher-pack check SKIN_DIR|EXE\n"
    "      Report what would go wrong at start-up. Exit 0 clean, 1 warnings, 2 errors.\n"
    "  launcher-pack extract EXE DIR\n"
    "      Write the archive's entries to DIR (without the config/ prefix; cg.txt as stored).\n"
    "  launcher-pack keygen OUT\n"
    "      Make an Ed25519 key pair for signed updates: OUT, the secret key (mode 0600; keep\n"
    "      it safe), and OUT.pub, the public key for build --update-key. Never overwrites.\n"
    "  launcher-pack sign EXE KEY\n"
    "      Sign the packed executable EXE with the secret key KEY, writing EXE.sig; publish\n"
    "      both for the update.\n";

namespace {

constexpr int kFailed = 2;

int Usage(std::ostream& err, const std::string& problem) {
  err << "launcher-pack: " << problem << "\n" << kUsage;
  return kFailed;
}

// Positional arguments and options of one command.
struct Arguments {
  std::vector<std::string> positional;
  std::optional<std::string> output, launcher, updateKey;
  bool json = false;
  std::string problem;  // not empty: the arguments are wrong
};

Arguments Parse(const std::vector<std::string>& args, std::size_t first) {
  Arguments parsed;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::optional<std::string>* slot) {
      if (i + 1 >= args.size()) {
        parsed.problem = arg + " needs a value";
      } else {
        *slot = args[++i];
      }
    };
    if (arg == "-o" || arg == "--output") {
      value(&parsed.output);
    } else if (arg == "--exe") {
      value(&parsed.launcher);
    } else if (arg == "--update-key") {
      value(&parsed.updateKey);
    } else if (arg == "--json") {
      parsed.json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      parsed.problem = "unknown option " + arg;
    } else {
      parsed.positional.push_back(arg);
    }
    if (!parsed.problem.empty()) {
      break;
    }
  }
  return parsed;
}

void Report(const std::vector<Finding>& findings, std::ostream& stream) {
  int errors = 0, warnings = 0;
  for (const Finding& finding : findings) {
    stream << FormatFinding(finding) << "\n";
    errors += finding.severity == Severity::kError;
    warnings += finding.severity == Severity::kWarning;
  }
  stream << errors << (errors == 1 ? " error, " : " errors, ") << warnings
         << (warnings == 1 ? " warning" : " warnings") << "\n";
}

int Build(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1 || !a.output) {
    return Usage(err, "build needs SKIN_DIR and -o OUT");
  }
  PackageResult read = ReadSkinFolder(a.positional[0]);
  if (!read.package) {
    err << "launcher-pack: " << read.error << "\n";
    return kFailed;
  }
  if (a.updateKey) {
    std::string key, error;
    SigningResult keyRead = ReadPublicKeyFile(*a.updateKey, &key);
    if (!keyRead.ok) {
      err << "launcher-pack: " << keyRead.error << "\n";
      return kFailed;
    }
    if (!AddUpdateKey(&*read.package, key, &error)) {
      err << "launcher-pack: " << error << "\n";
      return kFailed;
    }
  }
  std::vector<Finding> findings = CheckPackage(*read.package);
  if (HasErrors(findings)) {
    Report(findings, err);
    err << "launcher-pack: not packed: the launcher would fail with this skin\n";
    return kFailed;
  }
  if (!findings.empty()) {
    Report(findings, err);
  }
  const std::string launcher = a.launcher ? *a.launcher : DefaultLauncherPath();
  BuildResult built = BuildPackage(*read.package, launcher, *a.output);
  if (!built.ok) {
    err << "launcher-pack: " << built.error << "\n";
    return kFailed;
  }
  if (built.removed > 0) {
    err << "launcher-pack: " << launcher << " already carried " << built.removed
        << " appended bytes; they were replaced\n";
  }
  out << "wrote " << *a.output << " (" << built.size << " bytes, " << read.package->entries.size()
      << " files)\n";
  return 0;
}

int Inspect(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1 || a.output || a.launcher || a.updateKey) {
    return Usage(err, "inspect needs EXE");
  }
  PackageResult read = ReadPackage(a.positional[0]);
  if (!read.package) {
    err << "launcher-pack: " << read.error << "\n";
    return kFailed;
  }
  const Package& package = *read.package;
  out << (a.json ? InspectJson(package) : InspectText(package));
  if (package.source == Package::Source::kExecutable && !package.archiveOpen) {
    err << "launcher-pack: " << package.path << ": no archive could be opened";
    if (package.archiveError == ZipOpenError::kOverlap ||
        package.archiveError == ZipOpenError::kTooLarge) {
      err << " (" << ZipOpenErrorText(package.archiveError) << ")";
    }
    err << "\n";
    return kFailed;
  }
  if (package.Damaged()) {
    err << "launcher-pack: " << package.path << ": the archive is damaged\n";
    return kFailed;
  }
  return 0;
}

int Check(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1 || a.output || a.launcher || a.json || a.updateKey) {
    return Usage(err, "check needs SKIN_DIR or EXE");
  }
  PackageResult read = ReadPackage(a.positional[0]);
  if (!read.package) {
    err << "launcher-pack: " << read.error << "\n";
    return kFailed;
  }
  std::vector<Finding> findings = CheckPackage(*read.package);
  Report(findings, out);
  return ExitCodeFor(findings);
}

int Extract(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 2 || a.output || a.launcher || a.json || a.updateKey) {
    return Usage(err, "extract needs EXE and DIR");
  }
  PackageResult read = ReadPackedExecutable(a.positional[0]);
  if (!read.package) {
    err << "launcher-pack: " << read.error << "\n";
    return kFailed;
  }
  ExtractResult extracted = ExtractPackage(*read.package, a.positional[1]);
  for (const std::string& path : extracted.written) {
    out << a.positional[1] << "/" << path << "\n";
  }
  for (const std::string& note : extracted.notes) {
    err << "launcher-pack: " << note << "\n";
  }
  if (!extracted.ok) {
    err << "launcher-pack: " << extracted.error << "\n";
    return kFailed;
  }
  return 0;
}

int Keygen(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1 || a.output || a.launcher || a.json || a.updateKey) {
    return Usage(err, "keygen needs OUT");
  }
  SigningResult made = GenerateKeyPair(a.positional[0]);
  if (!made.ok) {
    err << "launcher-pack: " << made.error << "\n";
    return kFailed;
  }
  out << "wrote " << a.positional[0] << " (secret key, keep it private) and " << made.written
      << " (public key, for build --update-key)\n";
  return 0;
}

int Sign(const Arguments& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 2 || a.output || a.launcher || a.json || a.updateKey) {
    return Usage(err, "sign needs EXE and KEY");
  }
  SigningResult signedExe = SignExecutable(a.positional[0], a.positional[1]);
  if (!signedExe.note.empty()) {
    err << "launcher-pack: note: " << signedExe.note << "\n";
  }
  if (!signedExe.ok) {
    err << "launcher-pack: " << signedExe.error << "\n";
    return kFailed;
  }
  out << "wrote " << signedExe.written << "\n";
  return 0;
}

}  // namespace

int RunPacker(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    return Usage(err, "no command");
  }
  const std::string& command = args[0];
  if (command == "--help" || command == "-h" || command == "help") {
    out << kUsage;
    return 0;
  }
  Arguments parsed = Parse(args, 1);
  if (!parsed.problem.empty()) {
    return Usage(err, parsed.problem);
  }
  if (command == "build") {
    return Build(parsed, out, err);
  }
  if (command == "inspect") {
    return Inspect(parsed, out, err);
  }
  if (command == "check") {
    return Check(parsed, out, err);
  }
  if (command == "extract") {
    return Extract(parsed, out, err);
  }
  if (command == "keygen") {
    return Keygen(parsed, out, err);
  }
  if (command == "sign") {
    return Sign(parsed, out, err);
  }
  return Usage(err, "unknown command " + command);
}

}  // namespace launcher::pack
