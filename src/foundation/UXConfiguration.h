#pragma once
// Application identity held by the main window: the identifier names the login settings file and is
// the default configuration name; the version is compared with the published one by the self-update.

#include "foundation/UXObject.h"
#include "foundation/UXVersion.h"

#include <string>

class TXConfiguration : public TXObject {
public:
    TXConfiguration() : TXObject("TXConfiguration") {}

    std::string Application = "SARVOLENTIS";
    TXVersion ApplicationVersion{1, 0, 59, false};
};
