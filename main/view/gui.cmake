kelvaro_library(
  SOURCES MainForm.cpp MainFormFiles.cpp MainFormLayout.cpp
  USES deep/view ideas/view settings/view grid/view ui main ideas settings store web base)
