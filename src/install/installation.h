#pragma once
// The installation sequence, run by the RunMSI task on the worker thread once
// every release file is in the download folder (the program hands it to the
// pipeline as its installationSequence). True lets the run end normally;
// false is a failure whose text (if any) is in errorText.
class CBootstrapper;

bool RunInstallation(CBootstrapper& pipeline);
