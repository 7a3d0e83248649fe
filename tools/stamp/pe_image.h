#pragma once
// What stamp reads from a program file's PE headers before it changes it.
#include <string>

// True when the image's certificate table (the security data directory) names
// a signature: stamping would change the signed bytes and leave a signature
// that no longer matches. False for a file that is no PE image as well.
bool hasAuthenticodeSignature(const std::string& image);

// Makes the headers cover the resource section's contents again. Wine's
// EndUpdateResourceW rewrites a larger resource tree in place when it fits in
// the section's file space, but leaves the section's virtual size and the
// resource directory's size as they were; readers that check bounds (binutils'
// windres) then refuse the file. Grows both, and the image size when the section
// is the last, to the end of what the tree references. False, with image
// unchanged, when the tree points outside the section's file space or would run
// into the next section.
bool fitResourceSection(std::string& image);
