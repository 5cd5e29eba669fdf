// Wording of the empty-source question.
#include "app/empty_source_question.h"

#include <QCoreApplication>

#include "base/display_text.h"

namespace twinfol {

QString EmptySourceQuestion(const EmptySourceLosses& losses, const std::string& source,
                            const std::string& target)
{
    return QCoreApplication::translate("MainDialog",
                                       "The source folder is empty: is its disk mounted?\n\n"
                                       "Source: %1\nTarget: %2\n\n"
                                       "The target folder holds %3 items that this run would delete (%4).\n"
                                       "Run anyway and delete them?")
        .arg(QString::fromStdString(ForDisplay(source)), QString::fromStdString(ForDisplay(target)))
        .arg(losses.items)
        .arg(QString::fromStdString(LossesText(losses)));
}

} // namespace twinfol
