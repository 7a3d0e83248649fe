#pragma once
// /layout: instead of installing, the run writes what it fetched and checked
// into the layout folder as the site holds it (version_info.xml, then
// <language>\<version>\ with the release's files under their listed names),
// plus a copy of this program whose installation URL is that folder, relative
// to the copy. Runs on the worker as the run's installation sequence.
#include <string>

class CBootstrapper;

// True with the outcome LaidOut. On failure errorText names what could not be
// written, and the folder is emptied again (it was empty before).
bool WriteReleaseLayout(CBootstrapper& pipeline);
