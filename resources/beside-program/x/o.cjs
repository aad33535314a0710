/* Vantrell skin 1 */
/* "Harbour": cool grey surfaces, slate-blue accents, dark text. */
/* palette Window=#edf0f4 WindowText=#1d2733 Base=#ffffff AlternateBase=#f3f5f8 Text=#1d2733 */
/* palette Button=#e2e7ed ButtonText=#1d2733 Highlight=#2e6590 HighlightedText=#ffffff */
/* palette Mid=#9ba7b4 Dark=#6f7c8a Light=#ffffff Midlight=#f6f8fa Shadow=#4a5561 */
/* palette ToolTipBase=#fdf8e4 ToolTipText=#1d2733 PlaceholderText=#7b8794 Link=#2e6590 */

QPushButton {
    color: #ffffff;
    background-color: #2e6590;
    border: 1px solid #24506f;
    border-radius: 4px;
    padding: 3px 12px;
    min-height: 18px;
}
QPushButton:hover {
    background-color: #3876a6;
}
QPushButton:pressed {
    background-color: #24506f;
}
QPushButton:focus {
    border: 1px solid #14324a;
}
QPushButton:disabled {
    color: #6f7c8a;
    background-color: #c9d1da;
    border-color: #b3bdc8;
}

QLineEdit {
    background-color: #ffffff;
    border: 1px solid #9ba7b4;
    border-radius: 3px;
    padding: 1px 4px;
    selection-background-color: #2e6590;
    selection-color: #ffffff;
}
QLineEdit:focus {
    border: 1px solid #2e6590;
}
QLineEdit:disabled {
    background-color: #edf0f4;
    color: #6f7c8a;
}

QComboBox QAbstractItemView {
    background-color: #ffffff;
    border: 1px solid #9ba7b4;
    selection-background-color: #2e6590;
    selection-color: #ffffff;
}

QTreeView, QListView {
    background-color: #ffffff;
    alternate-background-color: #f3f5f8;
    border: 1px solid #9ba7b4;
    border-radius: 3px;
    selection-background-color: #2e6590;
    selection-color: #ffffff;
}
QTreeView::item {
    padding: 1px 2px;
}
QTreeView::item:selected:!active {
    background-color: #c5d6e6;
    color: #1d2733;
}
QHeaderView::section {
    background-color: #dde3ea;
    color: #1d2733;
    border: none;
    border-right: 1px solid #b3bdc8;
    border-bottom: 1px solid #b3bdc8;
    padding: 3px 6px;
}

QGroupBox {
    border: 1px solid #b3bdc8;
    border-radius: 4px;
    margin-top: 8px;
}
QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0 4px;
    color: #2e6590;
}

QCheckBox, QRadioButton {
    spacing: 6px;
}

QScrollBar:vertical {
    background: #edf0f4;
    width: 12px;
    margin: 0;
}
QScrollBar:horizontal {
    background: #edf0f4;
    height: 12px;
    margin: 0;
}
QScrollBar::handle:vertical {
    background: #b3bdc8;
    border-radius: 4px;
    min-height: 24px;
    margin: 2px;
}
QScrollBar::handle:horizontal {
    background: #b3bdc8;
    border-radius: 4px;
    min-width: 24px;
    margin: 2px;
}
QScrollBar::handle:hover {
    background: #8f9cab;
}
QScrollBar::add-line, QScrollBar::sub-line {
    width: 0;
    height: 0;
}
QScrollBar::add-page, QScrollBar::sub-page {
    background: none;
}

QMessageBox {
    background-color: #edf0f4;
}
QMessageBox QPushButton {
    min-width: 72px;
}

QToolTip {
    color: #1d2733;
    background-color: #fdf8e4;
    border: 1px solid #c9b87a;
    padding: 2px;
}
