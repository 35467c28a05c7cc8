// Layout of a plot on the page: margins in page units (0.1 mm), the vertical range of the
// section views, and the language of its texts. Plots are laid out with y measured down from
// the page top.
#pragma once

#include <string>

class CDrawingParameter {
public:
    // language: 1 Japanese texts and font, anything else English.
    explicit CDrawingParameter(int language);
    CDrawingParameter();  // with the program's current language
    virtual ~CDrawingParameter() = default;

    // Sets the colour legend's title and unit for iLanguage; called again after a language
    // switch.
    virtual void SetLabels();
    bool IsJapanese() const { return iLanguage == 1; }

    int iLanguage = 0;
    float fSectionBottom = 0.0f;  // m: the y start of the section views
    float fSectionTop = 10.0f;    // m: the y end
    int iLeftMargin = 200;
    int iRightMargin = 200;  // the section views and maps keep a further 100 or 200 for a legend
    int iTopMargin = 200;
    int iBottomMargin = 200;
    float fSizeFactor = 1.0f;  // multiplies the window size before the maps fit their scale
    std::string sValueLabel;   // title of the colour legend
    std::string sValueUnit;    // unit line of the colour legend
};

class CGantrelDrawingParameter : public CDrawingParameter {
public:
    explicit CGantrelDrawingParameter(int language);
    CGantrelDrawingParameter();  // with the program's current language

    void SetLabels() override;

    // Vertical ranges of the line plots in decades: apparent resistivity 1 to 100000 Ohm-m,
    // measured resistance V/I 0.01 to 100 ohm.
    float fResistivityLogRange[2] = {0.0f, 5.0f};
    float fResistanceLogRange[2] = {-2.0f, 2.0f};
};
