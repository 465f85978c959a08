#pragma once

#include "platform/Image.h"

#include <QIcon>
#include <utility>

namespace quorvane {

// An image as Qt draws it: every size the file held, the best one picked for the space it is drawn in.
class QtImage : public Image {
public:
    explicit QtImage(QIcon icon) : _icon(std::move(icon)) {}
    const QIcon& icon() const { return _icon; }

private:
    QIcon _icon;
};

} // namespace quorvane
