#pragma once
// What the diagnostic log says about the pipeline: the release selected from
// version_info.xml and each file stored for it. Worker thread.
#include <windows.h>

#include "product/product_description.h"

// The release's package, module and files, each with where it comes from,
// where it goes and the digest it must have.
void logSelectedRelease(const ProductDescription& release);

// A stored release file, its size and SHA-256. digest is the one the run
// computed to check the file, or null: the file is then hashed for the log
// later, by startStoredFileLogs, so the log never slows the downloads.
void logStoredFile(const std::wstring& path, HANDLE file, const unsigned char (*digest)[Sha256Digest::size]);

// Hashes the stored files that had no digest on a thread-pool thread, beside
// the installation; their lines come when that is done.
void startStoredFileLogs();

// "download try <tries> <what>", for each try of a fetch after the first and
// each broken try that is followed by another.
void logTry(int tries, const std::wstring& what);

// Starts what is left, then waits until every file handed to logStoredFile is
// logged (and closed again): the lines come before the outcome, and the
// folder can be deleted.
void waitForStoredFileLogs();
