#include "platform/Localizer.h"

#include <QCoreApplication>
#include <QString>

namespace quorvane {

std::string Localizer::text(const std::string& key) const {
    if (key.empty() || QCoreApplication::instance() == nullptr) {
        return key;
    }
    const QString translated = QCoreApplication::translate("Quorvane", key.c_str());
    return translated.toStdString();
}

} // namespace quorvane
