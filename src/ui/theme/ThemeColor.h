#pragma once

namespace tarn {

// Every colour the window layer paints with, by role. The values live in one table
// (TarnTheme), so paint code names a role and never writes a colour of its own.
enum class ThemeColor {
    brand,                                  // the brand green: status dots, progress bars, upload rows
    baseTint,                               // the dark tint laid over every tinted panel
    windowBackground,
    materialBase,                           // the opaque base tinted panels are painted over
    controlBackground,                      // item views and text fields
    alternateRowBackground,
    textBackground,                         // behind editable text (search field fill)
    buttonBackground,
    label,
    secondaryLabel,
    tertiaryLabel,
    quaternaryLabel,
    separator,
    controlAccent,                          // the one accent (the brand): focus, checked controls, default buttons
    selectedContentBackground,              // the selection of the focused view: the accent's darker step
    unemphasizedSelectedContentBackground,  // the selection of a view without focus
    selectedText,
    link,
    toolTipBackground,
    systemRed,
    systemOrange,
    systemYellow,                           // the status dot while work runs
    systemGreen,
    systemBlue,
    overlayDim,                             // the layer that dims the window under a sheet
    hairlineBorder,                         // the border of toasts and bubbles
    sheetBorder,
    selectedSideItem,                       // the chosen page in a sheet's side list
    skeletonBar,
    sheetShadow,
    pageBackground,                         // the paper an HTML document is shown on, as a browser would
    pageText,                               // the text colour such a document starts from
    controlFill,                            // toolbar buttons and segmented controls at rest
    controlHoverFill,                       // laid over a segment under the pointer
    controlPressedFill,                     // laid over a segment being pressed
    textOnAccent,                           // text and marks on an accent fill (default button, checked box)
    placeholderLabel,                       // the placeholder of an empty text field
};

}  // namespace tarn
