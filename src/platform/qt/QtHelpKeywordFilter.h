#pragma once

#include <QSortFilterProxyModel>
#include <QString>

namespace kadrill::platform::qt {

/// The keyword index as the help window lists it: sorted, and narrowed to the keywords
/// that contain what the user typed anywhere in them.
///
/// Matching ignores the differences a Japanese keyboard makes easy to type and hard to
/// see: half-width and full-width forms (ﾒﾆｭｰ and メニュー, ＡＢ and AB), hiragana and
/// katakana (あらーむ and アラーム), and letter case. The program's captions use half-width
/// katakana while an input method gives full-width by default.
class QtHelpKeywordFilter final : public QSortFilterProxyModel {
public:
    explicit QtHelpKeywordFilter(QObject* parent = nullptr);

    /// Narrows the list to the keywords containing text; an empty text shows them all.
    void setSearchText(const QString& text);

    /// The row to select for the current search text: the first keyword that starts with
    /// it, else the first keyword listed; invalid when the list is empty.
    QModelIndex bestMatch() const;

    /// The form in which keywords and search texts are compared.
    static QString searchKey(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    QString key_;
};

} // namespace kadrill::platform::qt
