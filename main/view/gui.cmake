kelvaro_library(
  SOURCES MainForm.cpp MainFormFiles.cpp MainFormLayout.cpp
  USES deep/view settings/view grid/view ui main settings store web base)
