#include "foundation/UCp1252.h"
#include "foundation/UXAppFolder.h"
#include "foundation/UXQtText.h"
#include "foundation/UXText.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

TEST(QtText, AllBytesRoundTripThroughQString) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString q = ToQString(all);
    EXPECT_EQ(q.size(), 256);
    EXPECT_EQ(FromQString(q), all);
    EXPECT_EQ(q, QString::fromUtf8(Cp1252ToUtf8(all)));
}

TEST(QtText, KnownCharacters) {
    EXPECT_EQ(ToQString("Informa\xE7\xE3o \x80"), QString::fromUtf8("Informação €"));
    EXPECT_EQ(FromQString(QString::fromUtf8("sábado “x” €")), "s\xE1"
                                                              "bado \x93x\x94 \x80");
    EXPECT_EQ(FromQString(QString::fromUtf8("a中😀b")), "a??b"); // one '?' per character
    EXPECT_EQ(ToQString(""), QString());
}

TEST(QtText, AppFolderFollowsTheEnvironment) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string home = QDir(dir.path()).filePath("sub").toStdString();
    const char* old = std::getenv("SARVOLENTIS_HOME");
    const std::string saved = old ? old : "";
    setenv("SARVOLENTIS_HOME", home.c_str(), 1);
    EXPECT_EQ(AppFolder(), home + "/");
    EXPECT_TRUE(QDir(QString::fromStdString(home)).exists()); // created when missing
    setenv("SARVOLENTIS_HOME", (home + "/").c_str(), 1);
    EXPECT_EQ(AppFolder(), home + "/");
    unsetenv("SARVOLENTIS_HOME");
    // the build folder of this program is writable: a portable install
    EXPECT_EQ(AppFolder(), ExeFolder());
    if (old)
        setenv("SARVOLENTIS_HOME", saved.c_str(), 1);
}

TEST(QtText, ParamIndexOverApplicationArguments) {
    EXPECT_EQ(ParamIndex("surely-not-given"), 0);
}
