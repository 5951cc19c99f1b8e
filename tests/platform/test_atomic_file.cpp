// Replacing a file in one step: what the file is (a link, its permission bits)
// stays as it was, only its bytes change.
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class AtomicFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static mode_t Mode(const QString& path)
    {
        struct stat status = {};
        ::stat(QFile::encodeName(path).constData(), &status);
        return status.st_mode & 07777;
    }
    static void Link(const QString& target, const QString& link)
    {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
    }
    QStringList Entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::Files | QDir::System | QDir::Hidden, QDir::Name);
    }
};

TEST_F(AtomicFileTest, ReplacesAPlainFile)
{
    Write(Path("settings.ini"), "old");
    EXPECT_EQ(WriteFileAtomically(Path("settings.ini"), "new"), QString());
    EXPECT_EQ(Read(Path("settings.ini")), "new");
    EXPECT_EQ(Entries(dir.path()), QStringList{"settings.ini"});
}

TEST_F(AtomicFileTest, KeepsThePermissionBitsOfTheReplacedFile)
{
    for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0664)}) {
        Write(Path("settings.ini"), "old");
        ASSERT_EQ(::chmod(QFile::encodeName(Path("settings.ini")).constData(), mode), 0);
        EXPECT_EQ(WriteFileAtomically(Path("settings.ini"), "new"), QString());
        EXPECT_EQ(Mode(Path("settings.ini")), mode) << std::oct << mode;
    }
}

TEST_F(AtomicFileTest, NewFileFollowsTheUmask)
{
    const mode_t saved = ::umask(077);
    const QString error = WriteFileAtomically(Path("fresh.ini"), "x");
    ::umask(saved);
    EXPECT_EQ(error, QString());
    EXPECT_EQ(Mode(Path("fresh.ini")), mode_t(0600));
}

// settings.ini kept in a dotfiles folder and linked into place: the link stays,
// the linked file gets the new bytes, the new file is made beside it.
TEST_F(AtomicFileTest, WritesThroughALinkToItsTarget)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("dotfiles"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("config"));
    Write(Path("dotfiles/settings.ini"), "old");
    ASSERT_EQ(::chmod(QFile::encodeName(Path("dotfiles/settings.ini")).constData(), 0600), 0);
    Link("../dotfiles/settings.ini", Path("config/settings.ini")); // relative, as dotfile managers make them

    EXPECT_EQ(WriteFileAtomically(Path("config/settings.ini"), "new"), QString());
    EXPECT_TRUE(QFileInfo(Path("config/settings.ini")).isSymLink());
    EXPECT_EQ(Read(Path("dotfiles/settings.ini")), "new");
    EXPECT_EQ(Mode(Path("dotfiles/settings.ini")), mode_t(0600));
    EXPECT_EQ(Entries(Path("dotfiles")), QStringList{"settings.ini"});
    EXPECT_EQ(Entries(Path("config")), QStringList{"settings.ini"});

    // And again: a second flush still reaches the same file.
    EXPECT_EQ(WriteFileAtomically(Path("config/settings.ini"), "newer"), QString());
    EXPECT_EQ(Read(Path("dotfiles/settings.ini")), "newer");
}

TEST_F(AtomicFileTest, FollowsAChainOfLinksAndCreatesAMissingTarget)
{
    Link(Path("b.ini"), Path("a.ini"));
    Link("c.ini", Path("b.ini")); // c.ini does not exist yet
    EXPECT_EQ(WriteFileAtomically(Path("a.ini"), "made"), QString());
    EXPECT_TRUE(QFileInfo(Path("a.ini")).isSymLink());
    EXPECT_TRUE(QFileInfo(Path("b.ini")).isSymLink());
    EXPECT_EQ(Read(Path("c.ini")), "made");
}

TEST_F(AtomicFileTest, ALoopOfLinksIsAnErrorAndChangesNothing)
{
    Link(Path("y.ini"), Path("x.ini"));
    Link(Path("x.ini"), Path("y.ini"));
    EXPECT_NE(WriteFileAtomically(Path("x.ini"), "lost"), QString());
    EXPECT_TRUE(QFileInfo(Path("x.ini")).isSymLink());
    EXPECT_TRUE(QFileInfo(Path("y.ini")).isSymLink());
    EXPECT_EQ(Entries(dir.path()), (QStringList{"x.ini", "y.ini"}));
}

} // namespace
