#pragma once
// Page geometry of a document, in twips (1440 to the inch).

#include <QtGlobal>

namespace wp {

/// Header/footer area flags of a document.
namespace hf {
constexpr int Header = 1;
constexpr int FirstPageHeader = 2;
constexpr int Footer = 4;
constexpr int FirstPageFooter = 8;
} // namespace hf

struct PageFormat {
    int width = 12240; // Letter
    int height = 15840;
    int marginL = 1440;
    int marginT = 1440;
    int marginR = 1440;
    int marginB = 1440;
    /// Distance of the header from the top border and of the footer from
    /// the bottom border; fractional twips are allowed.
    double headerPosition = 720;
    double footerPosition = 720;
    /// Combination of hf:: flags: which header and footer areas exist.
    int headerFooter = 0;

    bool operator==(const PageFormat&) const = default;
};

} // namespace wp
