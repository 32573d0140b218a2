#include "platform/qt/QtHelpKeywordFilter.h"

namespace kadrill::platform::qt {

namespace {

// Hiragana that have a katakana twin lie 0x60 below it.
constexpr char16_t kFirstHiragana = u'\u3041';
constexpr char16_t kLastHiragana = u'\u3096';
constexpr char16_t kKatakanaOffset = 0x60;

} // namespace

QtHelpKeywordFilter::QtHelpKeywordFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setDynamicSortFilter(true);
    sort(0);
}

QString QtHelpKeywordFilter::searchKey(const QString& text) {
    // Compatibility composition turns half-width katakana and full-width Latin into
    // their ordinary forms (and joins a half-width voicing mark to its letter).
    QString key = text.normalized(QString::NormalizationForm_KC).toCaseFolded();
    for (QChar& c : key) {
        const char16_t u = c.unicode();
        if (u >= kFirstHiragana && u <= kLastHiragana)
            c = QChar(static_cast<char16_t>(u + kKatakanaOffset));
    }
    return key;
}

void QtHelpKeywordFilter::setSearchText(const QString& text) {
    const QString key = searchKey(text.trimmed());
    if (key == key_)
        return;
    key_ = key;
    invalidateFilter();
}

QModelIndex QtHelpKeywordFilter::bestMatch() const {
    if (rowCount() == 0)
        return {};
    for (int row = 0; row < rowCount(); ++row) {
        const QModelIndex candidate = index(row, 0);
        if (searchKey(candidate.data().toString()).startsWith(key_))
            return candidate;
    }
    return index(0, 0);
}

bool QtHelpKeywordFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (key_.isEmpty())
        return true;
    const QString keyword = sourceModel()->index(sourceRow, 0, sourceParent).data().toString();
    return searchKey(keyword).contains(key_);
}

bool QtHelpKeywordFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    // Kana sort in the order of the syllabary once both forms share one key; ties (the
    // same word in two forms) fall back to the text itself so the order stays fixed.
    const QString l = left.data().toString();
    const QString r = right.data().toString();
    const int byKey = QString::compare(searchKey(l), searchKey(r));
    return byKey != 0 ? byKey < 0 : l < r;
}

} // namespace kadrill::platform::qt
