#include "release_preferences.h"

#include "product/ascii_compare.h"

namespace {

// The bootstrapper hides the installer's UI only for "false" (any case).
std::wstring installUIText(const std::wstring& value) {
    return equalsAsciiNoCase(value, L"false") ? L"false" : L"true";
}

// It calls a custom action only when both names are given.
bool callsCustomAction(const std::wstring& assembly, const std::wstring& className) {
    return !assembly.empty() && !className.empty();
}

std::wstring customActionText(const std::wstring& assembly, const std::wstring& className) {
    return callsCustomAction(assembly, className) ? L"class '" + className + L"' in '" + assembly + L"'" : L"none";
}

void note(std::wstring& changes, const std::wstring& published, const std::wstring& asked) {
    if (!changes.empty()) changes += L"; ";
    changes += published + L", asked " + asked;
}

}  // namespace

std::wstring preferenceChanges(const PublishedRelease& published, const NewRelease& asked) {
    std::wstring changes;
    const std::wstring installUI = installUIText(published.showInstallUI);
    if (installUI != installUIText(asked.showInstallUI))
        note(changes, L"showInstallUI " + installUI, installUIText(asked.showInstallUI));
    const bool before = callsCustomAction(published.customActionAssembly, published.customActionClass);
    const bool after = callsCustomAction(asked.customActionAssembly, asked.customActionClass);
    // An assembly is a file name; a class name is matched exactly by the runtime.
    if (before != after || (before && (!equalsAsciiNoCase(published.customActionAssembly, asked.customActionAssembly) ||
                                       published.customActionClass != asked.customActionClass)))
        note(changes, L"custom action " + customActionText(published.customActionAssembly, published.customActionClass),
             customActionText(asked.customActionAssembly, asked.customActionClass));
    return changes;
}
