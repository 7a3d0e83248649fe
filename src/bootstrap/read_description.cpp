#include "app/settings.h"
#include "bootstrap/bootstrapper.h"

bool readProductDescription(CBootstrapper& pipeline) {
    const AppSettings& settings = appSettings();
    DescriptionInputs inputs;
    inputs.companyName = settings.companyName;
    inputs.language = settings.language;
    inputs.version = settings.version;
    inputs.productCode = settings.productCode;
    inputs.installationUrl = settings.installationUrl;
    inputs.downloadFolder = pipeline.downloadFolder;
    inputs.webSource = pipeline.sourceKind == WebAddress;
    return readProductDescription(pipeline.xmlDocument, inputs, pipeline, pipeline.errorText);
}
