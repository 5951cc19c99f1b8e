// What the main window's header brings into every file that includes it:
// the headers of the program it reaches, followed include by include through
// the source tree, and the library headers those name. The window only shows
// and forwards, so the desktop bus and the online services stay behind the
// units it hands its work to.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

const QString kSourceDir = QStringLiteral(LANTRIX_SOURCE_DIR);

struct Reach {
    QStringList ownHeaders;     // "app/ScreenScan.h", from the top of the tree
    QStringList libraryHeaders; // "QDBusConnection", as named in <...>
    QStringList missing;        // our headers named but not found
};

// Follows every #include "folder/Name.h" from `header` through the tree.
Reach IncludesReachedFrom(const QString& header)
{
    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])"),
                                            QRegularExpression::MultilineOption);
    Reach reach;
    QSet<QString> seen{header};
    QStringList queue{header};
    while (!queue.isEmpty()) {
        const QString current = queue.takeFirst();
        QFile file(QDir(kSourceDir).filePath(current));
        if (!file.open(QIODevice::ReadOnly)) {
            reach.missing.append(current);
            continue;
        }
        reach.ownHeaders.append(current);
        const QString text = QString::fromUtf8(file.readAll());
        for (auto match = include.globalMatch(text); match.hasNext();) {
            const auto found = match.next();
            const QString name = found.captured(2);
            if (found.captured(1) == QLatin1String("<"))
                reach.libraryHeaders.append(name);
            else if (!seen.contains(name)) {
                seen.insert(name);
                queue.append(name);
            }
        }
    }
    return reach;
}

struct HeaderCase {
    const char* header;
    const char* what;          // for the message
    const char* ownPrefix;     // no header of ours under this folder; empty: any
    const char* libraryPrefix; // no library header starting so; empty: any
};

class WindowHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(WindowHeaderTest, StaysClearOf)
{
    const HeaderCase& row = GetParam();
    const Reach reach = IncludesReachedFrom(QString::fromLatin1(row.header));
    ASSERT_TRUE(reach.missing.isEmpty()) << reach.missing.join(QLatin1String(", ")).toStdString();
    ASSERT_GT(reach.ownHeaders.size(), 1); // the window's header names headers of ours
    if (*row.ownPrefix) {
        for (const QString& own : reach.ownHeaders) {
            EXPECT_FALSE(own.startsWith(QLatin1String(row.ownPrefix)))
                << row.header << " reaches " << row.what << ": " << own.toStdString();
        }
    }
    if (*row.libraryPrefix) {
        for (const QString& library : reach.libraryHeaders) {
            EXPECT_FALSE(library.startsWith(QLatin1String(row.libraryPrefix)))
                << row.header << " reaches " << row.what << ": <" << library.toStdString() << ">";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(MainWindow, WindowHeaderTest,
                         testing::Values(HeaderCase{"app/widgets/AppForm.h", "the desktop bus", "", "QDBus"},
                                         HeaderCase{"app/widgets/AppForm.h", "the desktop bus", "", "QtDBus"},
                                         HeaderCase{"app/widgets/AppForm.h", "the online services", "online/", ""},
                                         HeaderCase{"app/widgets/AppForm.h", "the update check's libcurl", "",
                                                    "curl"}));

} // namespace
