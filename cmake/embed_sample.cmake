# Writes a C++ source holding the sample notebook's profile and registry.
file(READ ${TOML} profile)
file(READ ${REG} registry)
get_filename_component(reg_name ${REG} NAME)
set(delim "kit_sample")
file(WRITE ${OUT}.tmp
"// Generated from machines/; do not edit.\n"
"namespace sim {\n"
"extern const char* const kBuiltinProfile;\n"
"extern const char* const kBuiltinRegistry;\n"
"extern const char* const kBuiltinRegistryName;\n"
"const char* const kBuiltinProfile = R\"${delim}(${profile})${delim}\";\n"
"const char* const kBuiltinRegistry = R\"${delim}(${registry})${delim}\";\n"
"const char* const kBuiltinRegistryName = \"${reg_name}\";\n"
"}\n")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.tmp)
