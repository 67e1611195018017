# Run by CPack once the zip is made (before it is moved to the package directory): the
# executable's debug information goes where the zip goes, beside it.
get_filename_component(name ${CPACK_QV_DEBUG_FILE} NAME)
file(COPY_FILE ${CPACK_QV_DEBUG_FILE} ${CPACK_PACKAGE_DIRECTORY}/${name})
