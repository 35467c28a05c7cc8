#include "display/transfer_view.h"

#include <algorithm>

#include "common/axes.h"
#include "common/language.h"
#include "common/text_format.h"

bool DrawConsoleTransferDisplay(CCanvas& canvas, const CBrivaneContext& ctx,
                                CDisplayExtents& extents) {
    const CConsoleTransfer* t = ctx.view.pTransfer.get();
    if (t == nullptr) return false;
    const int language = GetLanguage();
    CCanvasStateSaver keep(canvas);
    canvas.SetTextColor(kColorBlack);
    canvas.SetTextAlign({HAlign::Left, VAlign::Top});

    canvas.SetFont(ScaledLanguageFont(language, 40));
    canvas.Text(kTransferTextX, -kTransferTitleY,
                t->nReceivedLine == 0
                    ? std::string(Tr("Ready to data transfer (press ESC to exit)",
                                     "データ転送の待機中 (ESC キーで終了)"))
                    : FormatC(Tr("Transfering data (%d packets)", "データ転送中 (%d パケット)"),
                              t->nReceivedLine));

    // The Japanese font keeps its size; the English one follows the font scale.
    canvas.SetFont(language == kLanguageJapanese ? LanguageFont(language, 35)
                                                 : ScaledLanguageFont(language, 35));
    int y = kTransferListY;
    if (t->pRecordList.empty()) {
        canvas.Text(kTransferTextX, -y, Tr("No data", "データなし"));
    } else {
        const size_t n = t->pRecordList.size();
        for (size_t i = n - std::min<size_t>(n, kTransferShownRecords); i < n; ++i) {
            canvas.Text(kTransferTextX, -y, t->pRecordList[i]);
            y += kTransferListStep;
        }
        y -= kTransferListStep;
    }
    extents.iRight = kTransferDisplayWidth;
    extents.iBottom = y + kTransferListStep;
    return true;
}
