#pragma once
// The preferences of a release that the bootstrapper acts on, apart from its
// files: whether it shows the installer's own UI, and the custom action it calls.
#include <string>

#include "site_description.h"

// Empty when the published release and the new one ask the bootstrapper for the
// same; otherwise each difference, as "<published>, asked <new>", joined by "; ".
std::wstring preferenceChanges(const PublishedRelease& published, const NewRelease& asked);
