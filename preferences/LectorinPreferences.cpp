#include "preferences/LectorinPreferences.h"

#include "kit/foundation/Preferences.h"

#include <cmath>

kit::Color readBackgroundColorPreference()
{
    float components[3] = { 0.38f, 0.45f, 0.56f };
    std::optional<kit::Value> stored = kit::Preferences::copyValue(kBackgroundColorKey, kPreferencesDomain);
    if (stored && stored->isArray()) {
        for (std::size_t i = 0; i < 3; ++i) {
            // Past the array's end, or an element that is no number, the component keeps its default.
            const kit::Value* element = stored->at(i);
            std::optional<double> number = element ? element->asDouble() : std::nullopt;
            // Integers and reals alike are converted to single precision (1 reads as 1.0). A NaN or an
            // infinity is not a colour component either.
            if (!number || !std::isfinite(float(*number)))
                continue;
            components[i] = float(*number);
        }
    }
    return kit::Color::calibratedRGB(components[0], components[1], components[2], 1.0f);
}

bool writeBackgroundColorPreference(kit::Color color)
{
    std::optional<kit::Color> rgb = color.usingCalibratedRGB();
    if (!rgb)
        return false;
    kit::Value array = kit::Value::array();
    array.append(kit::Value::real(rgb->red()));
    array.append(kit::Value::real(rgb->green()));
    array.append(kit::Value::real(rgb->blue()));
    kit::Preferences::setValue(kBackgroundColorKey, std::move(array), kPreferencesDomain);
    kit::Preferences::synchronize(kPreferencesDomain);
    return true;
}

bool readAutoUpdatePreference(bool* valid)
{
    bool isValid = false;
    bool value = kit::Preferences::getAppBooleanValue(kAutoUpdateKey, kPreferencesDomain, &isValid);
    if (valid)
        *valid = isValid;
    return isValid ? value : true;
}

void writeAutoUpdatePreference(bool on)
{
    kit::Preferences::setValue(kAutoUpdateKey, kit::Value::boolean(on), kPreferencesDomain);
    kit::Preferences::synchronize(kPreferencesDomain);
}

bool readDocumentLayoutPreference()
{
    std::optional<kit::Value> stored = kit::Preferences::copyValue(kPageLayoutKey, kPreferencesDomain);
    const std::string* text = stored ? stored->asString() : nullptr;
    return text && *text == kDocumentLayoutValue;
}

void writeDocumentLayoutPreference(bool documentLayout)
{
    kit::Preferences::setValue(kPageLayoutKey,
        kit::Value::string(documentLayout ? kDocumentLayoutValue : kPrinterPaperLayoutValue), kPreferencesDomain);
    kit::Preferences::synchronize(kPreferencesDomain);
}
