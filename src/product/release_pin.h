#pragma once
// The pin a stamped program may carry (the releaseDigest setting): one SHA-256
// over a canonical listing of the release it installs, so that a site can
// change nothing of it (which file is the package, the managed class, and every
// file's name, size and digest) without the program noticing before it fetches
// a byte. The listing, in UTF-8, one line each:
//   msi=<package name>
//   customActionAssembly=<assembly name, may be empty>
//   customActionClass=<class name, may be empty>
//   file=<name>|<size>|<sha256, 64 lower-case hex digits>   (per file, in listed order)
#include <string>

#include "product/product_description.h"

// The pin of the release description names, as 64 lower-case hex digits. False
// when a file gives no size or no digest: such a release cannot be pinned.
bool releasePinText(const ProductDescription& release, std::wstring& pin);

// True when the release the description names is exactly the pinned one.
bool releaseMatchesPin(const ProductDescription& release, const std::wstring& pin);

// What a run says when the site departs from the pin; publish check says the same.
std::wstring pinnedListingMismatchText();
std::wstring pinnedFileTooLargeText(const std::wstring& name);
std::wstring pinnedFileMismatchText(const std::wstring& name);
