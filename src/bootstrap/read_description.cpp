#include <shlwapi.h>

#include "bootstrap/bootstrapper.h"
#include "product/combine.h"
#include "product/settings.h"

bool readProductDescription(CBootstrapper& pipeline) {
    const AppSettings& settings = appSettings();
    DescriptionInputs inputs;
    inputs.companyName = settings.companyName;
    inputs.language = settings.language;
    inputs.version = settings.version;
    inputs.productCode = settings.productCode;
    inputs.installationUrl = settings.installationUrl;
    // A relative folder is beside the program for the release files too, as it is
    // for version_info.xml, not below whatever the current folder happens to be.
    if (pipeline.sourceKind == LocalFolder && ::PathIsRelativeW(settings.installationUrl.c_str()))
        inputs.installationUrl = combinePath(settings.exeDirectory, settings.installationUrl);
    inputs.downloadFolder = pipeline.downloadFolder;
    inputs.webSource = pipeline.sourceKind == WebAddress;
    return readProductDescription(pipeline.xmlDocument, inputs, pipeline, pipeline.errorText);
}
