#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vna::platform {

// One field of a form dialog.
struct FormField {
    enum class Kind {
        Label,  // static text
        Text,   // one-line edit field; `text` in and out
        Choice, // list of `choices`; editable (any text may be typed) unless `fixed`; `text` in and out
        Check,  // check box; `checked` in and out
        Color,  // colour swatch that opens the colour chooser; `color` in and out
    };
    Kind kind = Kind::Label;
    std::string label;
    std::string text;
    std::vector<std::string> choices;
    bool fixed = false;
    bool checked = false;
    bool readOnly = false;
    std::uint32_t color = 0; // red + 256 * green + 65536 * blue
};

// A modal dialog described by a list of fields, so the program can ask for several values at once
// without knowing the toolkit. The adapters lay the fields out top to bottom.
struct Form {
    std::string title;
    std::vector<FormField> fields;
    std::string okCaption = "OK";
    std::string cancelCaption = "Cancel"; // empty: no cancel button
    // Extra buttons beside OK and Cancel (for example "Restore Default Colors").
    std::vector<std::string> extraButtons;
    int width = 0; // 0: the adapter's choice
    int height = 0;

    // Index of the first field with this label, or -1.
    int find(const std::string& label) const {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].label == label) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
};

// A field of the given kind with its label and text.
inline FormField MakeField(FormField::Kind kind, std::string label, std::string text = {}) {
    FormField f;
    f.kind = kind;
    f.label = std::move(label);
    f.text = std::move(text);
    return f;
}

// How a form dialog was closed.
inline constexpr int FormCancelled = -1;
inline constexpr int FormOk = 0;
// Extra button k (0-based) closes the form with FormExtraButton + k.
inline constexpr int FormExtraButton = 1;

} // namespace vna::platform
