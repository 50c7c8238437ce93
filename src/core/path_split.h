#pragma once

#include <string>
#include <string_view>

namespace vna::core {

struct SplitPathResult {
    std::string folder; // up to and including the last separator; "" when there is none
    std::string name;
};

// Splits a full path at its last '/' or '\' into folder (with the separator) and bare name.
SplitPathResult SplitPath(std::string_view path);

// A folder text shorter than 3 characters counts as not set (the dialogs then start in the
// program's folder).
inline bool FolderIsSet(std::string_view folder) {
    return folder.size() >= 3;
}

// The folder for a file dialog of one file kind: the kind's folder when set, else the program's.
inline std::string DialogFolder(std::string_view kindFolder, std::string_view programFolder) {
    return std::string(FolderIsSet(kindFolder) ? kindFolder : programFolder);
}

// Joins a folder (with or without its trailing separator) and a file name.
std::string JoinPath(std::string_view folder, std::string_view name);

// The extension of a path's file name in lower case, without its point ("" when there is none).
std::string LowerExtension(std::string_view path);

// A piece of a file name made from outside text (a settings file, an instrument's reply): letters,
// digits, blanks, '-' and '_' stay, every other character becomes '_', and at most 64 characters are kept,
// so the name it joins can neither leave its folder nor hold a separator, a control character or
// a "..".
std::string SafeNamePart(std::string_view text);

} // namespace vna::core
