#include "exchange/ui/ExportCommand.h"

#include "data/Dataset.h"
#include "exchange/ContactExport.h"
#include "platform/AppError.h"
#include "platform/ui/ErrorBox.h"
#include "platform/Services.h"

#include <QDir>

namespace exchange {

void ExportClick(QWidget* parent, data::Dataset& query)
{
    platform::guard([&] {
        if (!query.isOpen())
            throw platform::AppError(QStringLiteral("There is no contact list to export: the contacts are not open"));
        // A pending edit is settled first, as moving to another row would: a changed row is saved, an untouched
        // new row dropped, so the file holds what the table holds.
        query.settle();
        QString filter = exportFilters().constFirst();
        platform::FileDialogRequest request;
        request.title = QStringLiteral("Export contacts");
        request.folder = QDir::homePath();
        request.fileName = QStringLiteral("Contacts.vcf");
        request.filter = exportFilters().join(QStringLiteral(";;"));
        request.chosenFilter = &filter;
        QString path = platform::fileDialogs().saveFile(parent, request);
        if (path.isEmpty())
            return;
        const exchange::ExportFormat format = exportFormatFor(path, filter);
        const qint64 written = exportQuery(query, path, format);
        const QString count = written == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(written);
        platform::prompts().message(parent, QStringLiteral("Information"),
                                    QStringLiteral("%1 exported to %2.").arg(count, QDir::toNativeSeparators(path)),
                                    platform::Icon::Information, platform::Buttons::Ok);
    });
}

} // namespace exchange
