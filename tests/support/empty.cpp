// Keeps the support library non-empty when no helper source exists yet.
