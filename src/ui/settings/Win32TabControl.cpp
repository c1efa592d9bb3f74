#include "ui/settings/Win32TabControl.h"

#include <QGridLayout>
#include <QShortcut>

#include <algorithm>

Win32TabControl::Win32TabControl(QWidget* parent) : QWidget(parent), tabBar_(new QTabBar) {
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tabBar_, 0, 0);
    const auto onKeys = [this](QKeySequence::StandardKey keys, int step) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this,
                [this, step] { selectTab(step); });
    };
    onKeys(QKeySequence::NextChild, 1);
    onKeys(QKeySequence::PreviousChild, -1);
}

void Win32TabControl::addPage(CPropertyPage* page, const QString& text) {
    pages_.push_back(page);
    // Every page takes the same cell; only the selected one is visible. A
    // hidden page keeps its room, so the cell fits the largest page whichever
    // tab is selected.
    QSizePolicy policy = page->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    page->setSizePolicy(policy);
    static_cast<QGridLayout*>(layout())->addWidget(page, 1, 0);
    const QSignalBlocker quiet(tabBar_);
    tabBar_->addTab(text.left(kMaximumTabText));
    tabBar_->setCurrentIndex(0);
    showSelectedPage();
}

void Win32TabControl::selectTab(int step) {
    const int count = tabBar_->count();
    if (count > 0) {
        tabBar_->setCurrentIndex(((tabBar_->currentIndex() + step) % count + count) % count);
    }
}

void Win32TabControl::showSelectedPage() {
    std::for_each(pages_.begin(), pages_.end(),
                  ChangeTabPage<CPropertyPage>{tabBar_->currentIndex()});
}
