// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace qbr {

// The two languages of the program's texts.
enum class TextLanguage { English, Chinese };

// A text, or a whole table of texts, in both languages: every text the program
// shows is held this way, and the one language switch (base/Language.h) picks.
template <class T>
struct Bilingual {
    T english;
    T chinese;

    const T& In(TextLanguage language) const { return language == TextLanguage::Chinese ? chinese : english; }
};

}  // namespace qbr
