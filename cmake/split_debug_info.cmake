# With ORVANE_SPLIT_DEBUG_INFO, every program and shared library is linked with its debug
# information, which then goes to FILE.debug beside it; FILE keeps no symbols, only the
# debug link (name and checksum) by which a debugger finds FILE.debug. What ships is FILE.
if(NOT ORVANE_SPLIT_DEBUG_INFO)
  return()
endif()
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "ORVANE_SPLIT_DEBUG_INFO needs objcopy, which CMake did not find")
endif()
foreach(rule LINK_EXECUTABLE CREATE_SHARED_LIBRARY CREATE_SHARED_MODULE)
  list(APPEND CMAKE_CXX_${rule}
       "${CMAKE_OBJCOPY} --only-keep-debug <TARGET> <TARGET>.debug"
       "${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=<TARGET>.debug <TARGET>")
endforeach()
