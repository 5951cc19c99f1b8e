#include "localization/widgets/GuardedHandler.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

void RunGuarded(const std::function<void()>& handler, const std::function<void(const QString&)>& showError,
                QWidget* parent)
{
    QString error;
    try {
        handler();
        return;
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error");
    }
    if (showError) {
        showError(error);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), error, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
