#include "platform/linux/DialogPicture.h"

#include "platform/linux/TerminalDisplay.h"
#include "platform/linux/WordWrap.h"

#include <algorithm>

namespace {

struct SCellRect {
    int iTop, iLeft, iBottom, iRight;
};

int FloorDiv(int value, int divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

SCellRect Cells(const Rect& rect) {
    return {FloorDiv(rect.top, iCELL_HEIGHT), FloorDiv(rect.left, iCELL_WIDTH),
            FloorDiv(rect.bottom, iCELL_HEIGHT), FloorDiv(rect.right, iCELL_WIDTH)};
}

// Writes text into the picture's row from column col on, never over the frame.
void Put(SDialogPicture& picture, int row, int col, const std::string& text) {
    if (row < 1 || row + 1 >= static_cast<int>(picture.aRows.size())) {
        return;
    }
    std::string& line = picture.aRows[row];
    for (size_t i = 0; i < text.size(); ++i) {
        const int at = col + static_cast<int>(i);
        if (at >= 1 && at + 1 < static_cast<int>(line.size())) {
            line[at] = text[i];
        }
    }
}

std::string TopEdge(const std::string& title, int width) {
    std::string edge(width, '-');
    const std::string label = (" " + title + " ").substr(0, width);
    edge.replace((width - label.size()) / 2, label.size(), label);
    return "+" + edge + "+";
}

void PutItem(SDialogPicture& picture, const SItemView& item) {
    const SCellRect cells = Cells(item.rcBounds);
    const int row = cells.iTop - picture.iTop;
    const int col = cells.iLeft - picture.iLeft;
    const int width = std::max(cells.iRight - cells.iLeft, 0);
    if (item.eKind == eITEM_BUTTON) {
        const std::string label = item.bDefault ? "< " + item.strText + " >" : "[ " + item.strText + " ]";
        Put(picture, row, col + (width - static_cast<int>(label.size())) / 2, label);
        return;
    }
    const std::vector<std::string> lines = WrapText(item.strText, width);
    const int height = std::max(cells.iBottom - cells.iTop, 0);
    for (int i = 0; i < height && i < static_cast<int>(lines.size()); ++i) {
        Put(picture, row + i, col, lines[i]);
    }
}

} // namespace

SDialogPicture DrawDialog(const SDialogView& view) {
    const SCellRect content = Cells(view.rcBounds);
    const int width = std::max(content.iRight - content.iLeft, 0);
    const int height = std::max(content.iBottom - content.iTop, 0);
    SDialogPicture picture{content.iTop - 1, content.iLeft - 1, {}};
    picture.aRows.push_back(TopEdge(view.strTitle, width));
    picture.aRows.insert(picture.aRows.end(), height, "|" + std::string(width, ' ') + "|");
    picture.aRows.push_back("+" + std::string(width, '-') + "+");
    if (view.bCaution) {
        Put(picture, 2, 3, "/!\\");
    }
    for (const SItemView& item : view.aItems) {
        PutItem(picture, item);
    }
    return picture;
}

std::vector<std::string> WrapText(const std::string& text, size_t width) {
    if (width == 0) {
        return {};
    }
    return WrapWords(text, [width](const std::string& line) { return line.size() <= width; });
}
