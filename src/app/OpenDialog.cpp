#include "app/OpenDialog.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

TOpenDialog::TOpenDialog(QWidget* owner) : QObject(owner), FOwner(owner) {}

QStringList TOpenDialog::NameFilters() const
{
    const QStringList parts = QString::fromLatin1(Filter.c_str()).split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

bool TOpenDialog::Execute()
{
    if (ExecuteHook)
        return ExecuteHook(*this);

    QFileDialog dialog(FOwner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QStringList filters = NameFilters();
    dialog.setNameFilters(filters);
    if (FilterIndex >= 1 && FilterIndex <= filters.size())
        dialog.selectNameFilter(filters[FilterIndex - 1]);
    if (!FileName.empty()) {
        const QFileInfo current(QFile::decodeName(QByteArray::fromStdString(FileName)));
        dialog.setDirectory(current.absolutePath());
        dialog.selectFile(current.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        FilterIndex = static_cast<int>(chosen) + 1;
    return true;
}
