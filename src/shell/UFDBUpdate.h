#pragma once
// The application's part of the database upgrade: the upgrade flags from the server's version and
// the population chain that fills what each schema version added, one link per statement.

#include "shell/UXDBUpgrade.h"

#include <cstdint>

class TFDBUpdate : public TXDBUpgrade {
    Q_OBJECT
public:
    explicit TFDBUpdate(QObject* parent = nullptr);
    ~TFDBUpdate() override;

    // Major * 10000 + Minor * 100 + Build.
    static int64_t VersionNumber(const TXVersion& v);

    // The links of the chain, in order; the one a server version starts at.
    enum TLink { lkRights, lkUsers, lkPlateDigit, lkSampleType, lkApiModel1, lkApiModel2, lkStatus, lkDone };
    static TLink FirstLink(int64_t serverVersion);

protected:
    void UpgradeFlags(const TUpdateData& row, bool& first, bool& second) override;
    void PopulationA(TUpdateData& row) override;
    void StatementCompleted(const std::string& id) override;

private:
    void Run(TLink link);
};
