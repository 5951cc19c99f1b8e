#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Receives the addresses that the program asks the desktop to open, for the
// schemes given, while it exists.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit TUrlCatcher(QStringList schemes);
    ~TUrlCatcher() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl& url);

private:
    QStringList fSchemes;
};
