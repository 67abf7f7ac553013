A first analysis: a small estimation that VELK reads from its header on.

* Estimation: First example
