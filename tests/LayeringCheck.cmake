# Fails when a file of the model folders includes a window header (app/...), a Qt Widgets header
# or a header of a model folder above its own, or when a file under src/ is missing from
# src/CMakeLists.txt: a file belongs to the library of its folder, and nothing but the folder may
# decide that.
#   cmake -DSOURCE_DIR=<src> -P LayeringCheck.cmake
cmake_policy(SET CMP0007 NEW)
#
# The model folders from the bottom up: a file may include headers of its own folder and of the
# folders below it, so that the libraries link in one direction. app/ may include anything.
set(layers base xmltree log settings mapview replay frame video level round library tool)
set(widgets "QtWidgets/|QWidget|QApplication|QMainWindow|QDialog|QLabel|QPushButton|QSlider|QCheckBox|QMenu|QMenuBar|QTreeWidget|QListWidget|QPlainTextEdit|QScrollArea|QTabWidget|QMessageBox|QFileDialog|QProgressDialog|QLayout|QHBoxLayout|QVBoxLayout|QGridLayout")
string(REPLACE ";" "|" layer_names "${layers}")
set(failures "")
set(rank 0)
foreach(folder ${layers})
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.cpp ${SOURCE_DIR}/${folder}/*.h)
  foreach(file ${files})
    file(RELATIVE_PATH relative ${SOURCE_DIR} ${file})
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${lines})
      if(line MATCHES "#[ \t]*include[ \t]*[\"<]app/" OR line MATCHES "#[ \t]*include[ \t]*<(${widgets})[>.]")
        string(APPEND failures "${relative} is in a model folder and includes a window or widget header\n")
      elseif(line MATCHES "#[ \t]*include[ \t]*[\"<]((${layer_names})/[^\">]*)[\">]")
        set(header ${CMAKE_MATCH_1})
        set(header_folder ${CMAKE_MATCH_2})
        list(FIND layers ${header_folder} header_rank)
        if(header_rank GREATER rank)
          string(APPEND failures "${relative} includes ${header}: ${folder}/ may include only its own folder and those below it\n")
        endif()
      endif()
    endforeach()
  endforeach()
  math(EXPR rank "${rank} + 1")
endforeach()
# The listed files are the words of src/CMakeLists.txt: a path counts only as a whole word, so
# that replay/X.cpp is not taken for listed when app/replay/X.cpp is.
file(READ ${SOURCE_DIR}/CMakeLists.txt listed)
string(REGEX REPLACE "#[^\n]*" "" listed "${listed}")
string(REGEX REPLACE "[ \t\r\n()\"]+" ";" listed "${listed}")
file(GLOB_RECURSE all RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*/*.cpp ${SOURCE_DIR}/*/*.h)
foreach(relative ${all})
  list(FIND listed "${relative}" at)
  if(at EQUAL -1)
    string(APPEND failures "${relative} is not listed in src/CMakeLists.txt\n")
  endif()
endforeach()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
