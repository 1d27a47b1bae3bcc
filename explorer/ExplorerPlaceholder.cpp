// Replaced by the explorer pane.
