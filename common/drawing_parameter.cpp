#include "common/drawing_parameter.h"

#include "common/language.h"

CDrawingParameter::CDrawingParameter(int language) : iLanguage(language) {
    CDrawingParameter::SetLabels();
}

CDrawingParameter::CDrawingParameter() : CDrawingParameter(GetLanguage()) {}

void CDrawingParameter::SetLabels() {
    sValueLabel = IsJapanese() ? "単位" : "Unit";
    sValueUnit = "(m)";
}

CGantrelDrawingParameter::CGantrelDrawingParameter(int language) : CDrawingParameter(language) {
    // Sections start 14 m below the surface and end at it (depths are negative elevations).
    fSectionBottom = -14.0f;
    fSectionTop = 0.0f;
    CGantrelDrawingParameter::SetLabels();
}

CGantrelDrawingParameter::CGantrelDrawingParameter() : CGantrelDrawingParameter(GetLanguage()) {}

void CGantrelDrawingParameter::SetLabels() {
    sValueLabel = IsJapanese() ? "比抵抗" : "Resistivity";
    sValueUnit = "(Ohm-m)";
}
