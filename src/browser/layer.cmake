# The help page, where the preferences look for it by default: the suite's folder (the
# program's own unless the registry names another) + help/velorin/quarnel.htm.
configure_file(${CMAKE_SOURCE_DIR}/resources/help/quarnel.htm
               ${CMAKE_BINARY_DIR}/help/velorin/quarnel.htm COPYONLY)
