// Which files the rule language's file functions may touch: any, none, or those inside one directory. A name
// is resolved before it is allowed: "..", and symbolic links that lead outside the directory (or nowhere),
// are refused, so a rule set from a stranger reads and writes only where its host lets it.
#include <filesystem>
#include <string>
#include <system_error>

#include "rulecraft/core/IEException.h"
#include "rulecraft/core/Messages.h"
#include "rulecraft/engine/InferenceEngine.h"

namespace rulecraft {

namespace {

namespace fs = std::filesystem;

// Whether Path is Root or lies below it (strictly below when Strict), comparing whole components.
bool Within(const fs::path& Root, const fs::path& Path, bool Strict) {
  auto Part = Path.begin();
  for (const fs::path& RootPart : Root) {
    if (RootPart.empty()) continue;  // a trailing separator
    if (Part == Path.end() || *Part != RootPart) return false;
    ++Part;
  }
  while (Part != Path.end() && Part->empty()) ++Part;
  return !Strict || Part != Path.end();
}

// Whether a symbolic link is left anywhere on Path below Root: after resolution only a link that leads
// nowhere remains, and creating a file through it would write wherever it points.
bool HoldsLink(const fs::path& Root, const fs::path& Path) {
  std::error_code Error;
  fs::path Prefix;
  auto Part = Path.begin();
  for (const fs::path& RootPart : Root) {
    if (RootPart.empty()) continue;
    Prefix /= *Part++;
  }
  for (; Part != Path.end(); ++Part) {
    if (Part->empty()) continue;
    Prefix /= *Part;
    if (fs::is_symlink(fs::symlink_status(Prefix, Error))) return true;
  }
  return false;
}

}  // namespace

void TInferenceEngine::SetSandbox(const std::string& Directory) {
  std::error_code Error;
  const fs::path Resolved = Directory.empty() ? fs::path() : fs::canonical(fs::path(Directory), Error);
  if (Directory.empty() || Error || !fs::is_directory(Resolved, Error))
    throw EIEException(SSandboxNotDirectory, {Directory});
  FSandbox = Resolved.string();
  FFileAccess = faConfined;
}

std::string TInferenceEngine::CheckFileAccess(const std::string& Function,
                                              const std::string& FileName) const {
  if (FFileAccess == faAll) return FileName;
  if (FFileAccess == faNone || FSandbox.empty()) throw EIEException(SFileAccessDenied, {Function, FileName});
  const fs::path Root(FSandbox);
  const fs::path Name(FileName);
  bool Allowed = !FileName.empty() && FileName.find('\0') == std::string::npos;
  for (const fs::path& Part : Name)
    if (Part == "..") Allowed = false;
  fs::path Used;
  if (Allowed) {
    // The folder is resolved and the last name kept, so remove and rename act on a link itself, while the
    // file a link leads to must lie inside as well.
    const fs::path Full = Name.is_absolute() ? Name : Root / Name;
    std::error_code Error;
    const fs::path Folder = fs::weakly_canonical(Full.parent_path(), Error);
    const fs::path Target = Error ? fs::path() : fs::weakly_canonical(Full, Error);
    Allowed = !Error && Within(Root, Folder, false) && Within(Root, Target, true) &&
              !HoldsLink(Root, Folder) && !HoldsLink(Root, Target);
    Used = Folder / Full.filename();
  }
  if (!Allowed) throw EIEException(SFileOutsideSandbox, {Function, FileName, FSandbox});
  return Used.string();
}

}  // namespace rulecraft
