#pragma once
// Saving the card page elsewhere, so that it can be sent: the page's own bytes, and for a
// complete save its background picture copied into a folder beside it. A save either completes
// or leaves nothing behind: every file is written under a temporary name first and renamed
// into place at the end.
#include <filesystem>
#include <string>

namespace card {

enum class SaveProblem {
    None,
    PageUnreadable,    // the card page itself could not be read
    PictureUnreadable, // the background picture could not be read
    FolderUnwritable,  // the picture folder beside the target could not be made or written
    PageUnwritable,    // the target page could not be written
};

struct SaveResult {
    SaveProblem problem = SaveProblem::None;
    std::filesystem::path where; // the file or folder the problem is about
};

// The page's own bytes at target.
SaveResult savePageOnly(const std::filesystem::path& cardPage, const std::filesystem::path& target);

// The page at target with its background picture copied into the folder "NAME_files" beside
// it (NAME.html the target) and the body line's picture address replaced by the copy's relative
// address, its names percent-encoded byte for byte so that a browser finds them whatever
// character set it reads the page in. Every other byte of the page is kept. A page whose body
// line names no picture is saved as it is.
SaveResult saveCompleteCard(const std::filesystem::path& cardPage,
                            const std::filesystem::path& target);

// One Chinese sentence that says what could not be saved and where (UTF-8).
std::string saveProblemMessage(const SaveResult& result);

} // namespace card
