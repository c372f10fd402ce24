#pragma once

#include <QString>

#include <memory>

class QTranslator;

// The toolkit's own texts (Yes and No, Cancel, the file dialog's labels) in the language of
// the chosen language file, where the toolkit ships a translation for it.
class QtStandardTexts
{
public:
    QtStandardTexts();
    ~QtStandardTexts();
    QtStandardTexts(const QtStandardTexts&) = delete;
    QtStandardTexts& operator=(const QtStandardTexts&) = delete;

    // Follows the language file: installs the toolkit's translation for its locale, or
    // none (English) when there is no translation for it.
    void Follow(const QString& languageFile);

private:
    std::unique_ptr<QTranslator> m_translator;
    QString m_locale;
    bool m_installed = false;
};
