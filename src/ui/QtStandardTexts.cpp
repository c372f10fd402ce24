#include "QtStandardTexts.h"

#include "language/LangStrings.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

QtStandardTexts::QtStandardTexts() : m_translator(std::make_unique<QTranslator>()) {}

QtStandardTexts::~QtStandardTexts()
{
    if (m_installed)
        QCoreApplication::removeTranslator(m_translator.get());
}

void QtStandardTexts::Follow(const QString& languageFile)
{
    const QString name = LanguageLocaleName(languageFile);
    if (name == m_locale)
        return;
    m_locale = name;
    if (m_installed) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_installed = false;
    }
    const QLocale locale(name);
    if (name.isEmpty() || locale.language() == QLocale::C)
        return;
    if (m_translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        m_installed = QCoreApplication::installTranslator(m_translator.get());
}
