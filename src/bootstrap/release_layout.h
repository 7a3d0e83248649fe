#pragma once
// /layout: instead of installing, the run writes what it fetched and checked
// into the layout folder as the site holds it (version_info.xml, then
// <language>\<version>\ with the release's files under their listed names),
// plus a copy of this program whose installation URL is that folder, relative
// to the copy. Runs on the worker as the run's installation sequence.
#include <string>

class CBootstrapper;

// The installation URL the copy gets: the folder it sits in.
extern const wchar_t layoutInstallationUrl[];

// True with the outcome LaidOut. On failure errorText is set and everything
// written is removed again, so the folder is as empty as before.
bool WriteReleaseLayout(CBootstrapper& pipeline);
