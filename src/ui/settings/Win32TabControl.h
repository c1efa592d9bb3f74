#pragma once

#include <QTabBar>
#include <QWidget>

#include <vector>

// The page base of a tabbed dialog: a plain widget.
using CPropertyPage = QWidget;

// What the tab control does to each page, in tab order, when the selection
// changes: the selected page is shown and enabled, every other one hidden
// and disabled.
template <class Page> struct ChangeTabPage {
    int selected;
    int index = 0;

    void operator()(Page* page) {
        const bool chosen = index++ == selected;
        page->setVisible(chosen);
        page->setEnabled(chosen);
    }
};

// A row of tabs over pages that are its own child windows. The pages share
// one place below the tabs; the tab control shows only the selected one.
// Ctrl+Tab and Ctrl+Shift+Tab select the next and the previous tab, round.
class Win32TabControl : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaximumTabText = 50;

    explicit Win32TabControl(QWidget* parent = nullptr);

    // Adds a tab for page (made a child of this control) with text cut to
    // kMaximumTabText characters, then selects tab 0 and shows its page.
    void addPage(CPropertyPage* page, const QString& text);
    // Applies ChangeTabPage for the selected tab to every page.
    void showSelectedPage();
    // Selects the tab step places on from the selected one, wrapping round.
    void selectTab(int step);

    QTabBar* tabBar() const { return tabBar_; }
    const std::vector<CPropertyPage*>& pages() const { return pages_; }

private:
    QTabBar* tabBar_;
    std::vector<CPropertyPage*> pages_;
};
