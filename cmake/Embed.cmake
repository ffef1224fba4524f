# vt_embed_file(<target> <symbol> <file>): adds to <target> a source that
# holds the bytes of <file> as read-only data, as
#   extern const std::span<const std::uint8_t> vt::<symbol>;
function(vt_embed_file target symbol file)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${file} -DOUTPUT=${out} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/EmbedScript.cmake
    DEPENDS ${file} ${PROJECT_SOURCE_DIR}/cmake/EmbedScript.cmake
    COMMENT "Embedding ${file}")
  target_sources(${target} PRIVATE ${out})
endfunction()
