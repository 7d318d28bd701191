#include "wp/TextControl.h"

namespace wp {

TextControl::TextControl(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TXTextControl"));
}

TextControl::~TextControl() = default;

} // namespace wp
