#pragma once
// The word-processing control: a paged document with headers, footers,
// fields and tables, edited on screen and drawn one page at a time.

#include <QWidget>

namespace wp {

class TextControl : public QWidget {
    Q_OBJECT
public:
    explicit TextControl(QWidget* parent = nullptr);
    ~TextControl() override;
};

} // namespace wp
