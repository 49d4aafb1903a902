#include "sdk/DialogUtilities.h"

#include "platform/Dialogs.h"
#include "platform/Error.h"
#include "platform/Handles.h"
#include "platform/Resources.h"
#include "platform/Screen.h"

#include <algorithm>

namespace {

const int iMAX_CHARACTERS = 254;

// Truncation toward zero into an unsigned 32-bit count, saturating at both ends (NaN gives 0).
uint32_t IntegerPart(double value) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 4294967295.0) {
        return 4294967295u;
    }
    return static_cast<uint32_t>(value);
}

void AppendCharacter(unsigned char* text, char c) {
    const unsigned char character[] = {1, static_cast<unsigned char>(c)};
    AppendString(text, character, 1, 1);
}

} // namespace

int16_t ShowVersionAlert(WindowRef, int16_t alertResource, int16_t messageResource,
                         ConstStr255Param versionText1, ConstStr255Param versionText2) {
    Str255 message;
    std::fill_n(message, sizeof message, 0);
    if (alertResource == 0) {
        return 0;
    }
    if (messageResource > 0) {
        if (StringHandle text = GetString(messageResource)) {
            const auto* characters = static_cast<const unsigned char*>(HandleAddress(text));
            AppendString(message, characters, 1, characters[0]);
            ReleaseResource(text);
        }
    }
    DialogTHndl alertTemplate = GetResource(uiRESOURCE_ALERT, alertResource);
    if (alertTemplate != nullptr) {
        HNoPurge(alertTemplate);
        CenterDialog(alertTemplate);
    }
    PIParamText(message, nullptr, versionText1, versionText2);
    ParamText(message, nullptr, nullptr, nullptr);
    const int16_t item = CautionAlert(alertResource, nullptr);
    if (alertTemplate != nullptr) {
        HPurge(alertTemplate);
        ReleaseResource(alertTemplate);
    }
    return item;
}

void PIParamText(unsigned char* text, ConstStr255Param param0, ConstStr255Param param1,
                 ConstStr255Param param2) {
    _hlp::Require(text != nullptr);
    const ConstStr255Param params[] = {param0, param1, param2};
    bool afterCaret = false;
    for (int i = 1; i <= text[0]; ++i) {
        const unsigned char c = text[i];
        if (afterCaret && c >= '0' && c <= '2') {
            afterCaret = false;
            ConstStr255Param param = params[c - '0'];
            Str255 rebuilt;
            PIResetString(rebuilt);
            AppendString(rebuilt, text, 1, static_cast<int16_t>(i - 2));
            if (param != nullptr) {
                AppendString(rebuilt, param, 1, param[0]);
            }
            AppendString(rebuilt, text, static_cast<int16_t>(i + 1), static_cast<int16_t>(text[0] - i));
            for (int k = 0; k <= rebuilt[0] + 1; ++k) {
                text[k] = rebuilt[k];
            }
            // The scan goes on with what now stands where the digit stood.
            --i;
        } else {
            afterCaret = c == '^';
        }
    }
}

void DoubleToString(unsigned char* text, double value, int16_t precision) {
    _hlp::Require(text != nullptr);
    const bool negative = value < 0.0;
    PIResetString(text);
    if (negative) {
        AppendCharacter(text, '-');
        value = -value;
    }
    const double t = power(10.0, precision) * value;
    if (10.0 * (t - IntegerPart(t)) >= 5.0) {
        value += 5.0 / power(10.0, static_cast<int16_t>(precision + 1));
    }
    if (precision > 1) {
        const double u = power(10.0, static_cast<int16_t>(precision - 1)) * value;
        if (10.0 * (u - IntegerPart(u)) < 1.0) {
            --precision;
        }
    }
    Str255 number;
    NumToString(IntegerPart(value), number);
    AppendString(text, number, 1, number[0]);
    AppendCharacter(text, '.');
    value -= IntegerPart(value);
    for (;;) {
        value *= 10.0;
        // Only a value beyond the 32-bit range leaves more than one digit here.
        const uint32_t digit = std::min<uint32_t>(IntegerPart(value), 9);
        AppendCharacter(text, static_cast<char>('0' + digit));
        value -= digit;
        if (!(value > 0.0) || --precision < 1) {
            break;
        }
    }
}

double power(double base, int16_t exponent) {
    double result = 1.0;
    for (int16_t i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

void AppendString(unsigned char* text, ConstStr255Param source, int16_t start, int16_t count) {
    _hlp::Require(text != nullptr && source != nullptr);
    int length = text[0];
    for (int i = start; i < start + count && length < 255; ++i) {
        if (i >= 1 && i <= source[0]) {
            text[++length] = source[i];
        }
    }
    if (length > iMAX_CHARACTERS) {
        length = iMAX_CHARACTERS;
    }
    text[0] = static_cast<unsigned char>(length);
    text[length + 1] = 0;
}

void PIResetString(unsigned char* text) {
    if (text != nullptr) {
        text[0] = 0;
        text[1] = 0;
    }
}

void CenterDialog(DialogTHndl dlgTemplate) {
    _hlp::Require(dlgTemplate != nullptr && HandleAddress(dlgTemplate) != nullptr);
    const Rect screen = (**GetMainDevice()).gdRect;
    const int screenWidth = screen.right - screen.left;
    const int screenHeight = screen.bottom - screen.top;
    auto* bounds = static_cast<Rect*>(HandleAddress(dlgTemplate));
    Rect window = *bounds;
    OffsetRect(&window, static_cast<int16_t>(-window.left), static_cast<int16_t>(-window.top));
    const int dh = (screenWidth - window.right) / 2;
    const auto dv = static_cast<int16_t>((screenHeight - window.bottom - 20) / 3 + 20);
    OffsetRect(&window, static_cast<int16_t>(dh), dv);
    *bounds = window;
}
