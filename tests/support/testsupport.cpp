// Anchors the support library; the doubles themselves are header-only or added beside it.
