#pragma once

#include <QPushButton>
#include <QStringList>
#include <QWidget>

// The object names of a row's buttons that are shown, in the row's order.
inline QStringList ShownButtons(const QWidget* row)
{
    QStringList names;
    for (const QPushButton* button : row->findChildren<QPushButton*>())
        if (!button->isHidden())
            names.append(button->objectName());
    return names;
}
