#include "support/MainWindowFixture.h"

#include "app/widgets/ErrorHandler.h"
#include "support/ModalAnswers.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTest>
#include <QWidget>

namespace {
const QString kSamples = QStringLiteral(LANTRIX_SOURCE_DIR "/samples");
} // namespace

void TMainWindowFixture::Init()
{
    root = std::make_unique<QTemporaryDir>();
    QDir(root->path()).mkpath(QStringLiteral("program"));
    exeFolder = root->filePath(QStringLiteral("program"));
    QFile::link(kSamples, exeFolder + QStringLiteral("/samples"));
    configFolder = root->filePath(QStringLiteral("config"));
    answers.clear();
    dialogFolders.clear();
    errors.clear();
    SetExceptionSink([this](const QString& text) { errors.append(text); });
}

void TMainWindowFixture::Cleanup()
{
    ForgetMessageBoxAnswers();
    uiLanguage = [] { return quint16(1033); };
    SetExceptionSink(nullptr);
    root.reset();
}

TAppEnvironment TMainWindowFixture::Environment(const TAdjust& adjust)
{
    TAppEnvironment environment;
    environment.executableFile = QStringLiteral(LANTRIX_BIN_DIR "/lantrix");
    environment.executableFolder = exeFolder;
    environment.configFolder = configFolder;
    environment.openFileDialog = [this](QWidget*, const QString& folder) -> std::optional<QString> {
        dialogFolders.append(folder);
        if (answers.empty())
            return std::nullopt;
        const std::optional<QString> answer = answers.front();
        answers.pop_front();
        return answer;
    };
    environment.uiLanguage = uiLanguage;
    if (adjust)
        adjust(environment);
    return environment;
}

std::unique_ptr<TAppForm> TMainWindowFixture::MakeForm(const TAdjust& adjust)
{
    auto form = std::make_unique<TAppForm>(Environment(adjust));
    form->show();
    return form;
}

QString TMainWindowFixture::SettingsFile() const
{
    return exeFolder + QStringLiteral("/settings.ini");
}

QByteArray TMainWindowFixture::ReadSettings() const
{
    QFile file(SettingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TMainWindowFixture::WriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = root->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

QString TMainWindowFixture::SavePicture(const QString& name, const QImage& picture)
{
    const QString path = root->filePath(name);
    if (!picture.save(path))
        qWarning("cannot save %s", qPrintable(path));
    return path;
}

void TMainWindowFixture::WriteGermanLanguage(const QByteArray& lines)
{
    QDir(exeFolder).mkpath(QStringLiteral("Languages"));
    QFile table(exeFolder + QStringLiteral("/Languages/LanguageCodes.csv"));
    QVERIFY(table.open(QIODevice::WriteOnly));
    table.write("1031,German.lang.txt\r\n");
    QFile german(exeFolder + QStringLiteral("/Languages/German.lang.txt"));
    QVERIFY(german.open(QIODevice::WriteOnly));
    german.write(lines);
}

QColor TMainWindowFixture::PaneColour(const QWidget* pane)
{
    return pane->palette().color(QPalette::Base);
}

QStringList TMainWindowFixture::Captions(const QMenu* menu)
{
    QStringList captions;
    for (QAction* entry : menu->actions())
        captions << (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    return captions;
}
