#pragma once
// A new version of a file, written beside it and moved over it whole, so that a
// reader sees the old file or the new one. The scratch file's name has a random
// part and the file is made with CREATE_NEW without following a reparse point:
// a file or link planted under a name the tool would use is refused, never
// written through.
#include <string>

class ReplacementFile {
public:
    explicit ReplacementFile(std::wstring target) : target_(std::move(target)) {}
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Writes the bytes to a new scratch file beside the target. False with one
    // line in problem.
    bool write(const std::string& bytes, std::wstring& problem);
    // Moves the written scratch file over the target (or to it, when there is none).
    bool replaceTarget(std::wstring& problem);

    const std::wstring& scratchPath() const { return scratch_; }

private:
    std::wstring target_;
    std::wstring scratch_;  // empty once moved, or before it is made
};

// "<path>.publish-<16 random hexadecimal digits>.tmp"; empty when the system
// has no random bytes to give.
std::wstring randomScratchName(const std::wstring& path);
