#include "cli/command_line.h"

#include <algorithm>
#include <deque>
#include <stdexcept>

#include "cli/commands.h"
#include "core/export_formats.h"

namespace sayloom::cli {

namespace {

constexpr const char* programName = "sayloom-cli";

const Option jsonOption{"--json", nullptr, "결과를 JSON으로 씁니다 (README의 형식)"};
const Option cpuOption{"--cpu", nullptr,
                       "그래픽 처리 장치 없이 프로세서로만 인식합니다 (앱의 CPU 설정과 같음)"};

std::string joined(const std::vector<const char*>& words) {
  std::string out;
  for (const char* word : words) {
    if (!out.empty()) {
      out += ' ';
    }
    out += word;
  }
  return out;
}

std::string optionUsage(const Option& option) {
  std::string out = option.name;
  if (option.valueName != nullptr) {
    out += ' ';
    out += option.valueName;
  }
  return out;
}

std::string padded(std::string text, std::size_t width) {
  // Only the command syntax is padded, and it is ASCII, so bytes are columns.
  if (text.size() < width) {
    text.append(width - text.size(), ' ');
  }
  return text;
}

// Keeps a text made while the command table is built for as long as the table lives.
const char* lasting(std::string text) {
  static std::deque<std::string> texts;
  return texts.emplace_back(std::move(text)).c_str();
}

struct CommandHelp {
  const char* summary;
  const char* details;
};

// What "export WORD" says about each export format.
CommandHelp exportHelp(ExportFormat format) {
  switch (format) {
    case ExportFormat::transcript:
      return {"노트의 대본을 텍스트 파일로 내보냅니다",
              "앱의 '대본 텍스트' 내보내기와 같은 내용을 UTF-8로 씁니다.\n"};
    case ExportFormat::audio:
      return {"노트의 녹음 전체를 WAV 파일 하나로 내보냅니다",
              "16 kHz 모노 16비트 WAV입니다. FILE이 있으면 내보내기가 모두 성공했을 때만 바뀝니다.\n"};
    case ExportFormat::srt:
      return {"노트의 대본을 SRT 자막으로 내보냅니다",
              "구간마다 번호 붙은 자막 하나, 번역이 있으면 둘째 줄에 씁니다. 빈 구간은 건너뛰고, 겹치거나\n"
              "길이가 없는 시간은 재생기가 받아들이도록 고칩니다.\n"};
    case ExportFormat::webVtt:
      return {"노트의 대본을 WebVTT 자막으로 내보냅니다",
              "내용은 SRT 자막과 같고, 'WEBVTT' 머리글로 시작합니다.\n"};
  }
  throw std::invalid_argument("unknown export format");
}

// `commands` with "export WORD ID FILE" for every export format after the notes commands.
std::vector<Command> withExportCommands(std::vector<Command> commands) {
  std::vector<Command> exports;
  for (const ExportFormatDescription& format : exportFormats()) {
    const CommandHelp help = exportHelp(format.format);
    exports.push_back({{"export", format.word},
                       {"ID", "FILE"},
                       {},
                       help.summary,
                       help.details,
                       exportHandler(format.format)});
  }
  const auto afterNotes = std::ranges::find_if(
      commands, [](const Command& command) { return std::string_view(command.words.front()) != "notes"; });
  commands.insert(afterNotes, exports.begin(), exports.end());
  return commands;
}

// transcribe's options: the language, one output format (subtitles in each subtitle format, or
// JSON) and the processor.
std::vector<Option> transcribeOptions() {
  std::vector<Option> made = {
      {"--language", "L", "말하는 언어 (Whisper 언어 코드, 기본값 ko; auto는 자동 감지)"}};
  for (const ExportFormatDescription& format : exportFormats()) {
    if (format.subtitles) {
      made.push_back({lasting(subtitleOption(format)), nullptr,
                      lasting(std::string(format.menuText) + "으로 씁니다"), 1});
    }
  }
  made.push_back({"--json", nullptr, "JSON으로 씁니다 (README의 형식)", 1});
  made.push_back(cpuOption);
  return made;
}

const char* const generalIntro =
    "Sayloom 앱과 같은 데이터 폴더(SAYLOOM_DATA_DIR, 없으면 ~/.local/share/Sayloom Native)의 노트를\n"
    "보고 내보내며, 저장된 오디오나 가진 소리 파일을 기기에서 받아씁니다.\n";

const char* const generalFooter =
    "공통 옵션:\n"
    "  -h, --help    도움말을 보여 줍니다 (명령 뒤에 붙이면 그 명령의 도움말)\n"
    "  --version     버전을 보여 줍니다\n"
    "\n"
    "종료 상태: 0 성공, 1 실패 (표준 오류에 이유), 2 잘못된 사용법\n";

std::string generalHelp() {
  std::string out = "사용법: sayloom-cli 명령 [인수] [옵션]\n\n";
  out += generalIntro;
  out += "\n명령:\n";
  for (const Command& command : commands()) {
    const std::string usage = usageLine(command).substr(std::string(programName).size() + 1);
    if (usage.size() > 38) {
      out += "  " + usage + "\n" + std::string(42, ' ') + command.summary + "\n";
    } else {
      out += "  " + padded(usage, 40) + command.summary + "\n";
    }
  }
  out += "\n";
  out += generalFooter;
  return out;
}

std::string groupHelp(const std::string& group) {
  std::string out = "사용법:\n";
  for (const Command& command : commands()) {
    if (command.words.front() == group) {
      out += "  " + padded(usageLine(command), 48) + command.summary + "\n";
    }
  }
  out += "\n'" + std::string(programName) + " " + group +
         " 명령 --help'로 명령마다 자세한 설명을 볼 수 있습니다.\n";
  return out;
}

std::string commandHelp(const Command& command) {
  std::string out = "사용법: " + usageLine(command) + "\n\n" + command.summary + ".\n";
  if (command.details != nullptr && *command.details != '\0') {
    out += "\n";
    out += command.details;
  }
  if (!command.options.empty()) {
    out += "\n옵션:\n";
    for (const Option& option : command.options) {
      out += "  " + padded(optionUsage(option), 16) + option.help + "\n";
    }
  }
  return out;
}

bool isGroup(const std::string& word) {
  return std::any_of(commands().begin(), commands().end(),
                     [&](const Command& command) { return command.words.front() == word; });
}

// The command whose words start `positionals`, the longest match first.
const Command* findCommand(const std::vector<std::string>& positionals) {
  const Command* best = nullptr;
  for (const Command& command : commands()) {
    if (command.words.size() > positionals.size()) {
      continue;
    }
    if (std::equal(command.words.begin(), command.words.end(), positionals.begin()) &&
        (best == nullptr || command.words.size() > best->words.size())) {
      best = &command;
    }
  }
  return best;
}

const Option* findOption(const Command& command, std::string_view name) {
  const auto it = std::find_if(command.options.begin(), command.options.end(),
                               [&](const Option& option) { return name == option.name; });
  return it == command.options.end() ? nullptr : &*it;
}

// Whether some command's option of this name takes a value (so the next argument is its value).
bool takesValue(const std::string& name) {
  return std::any_of(commands().begin(), commands().end(), [&](const Command& command) {
    const Option* option = findOption(command, name);
    return option != nullptr && option->valueName != nullptr;
  });
}

}  // namespace

std::string Invocation::value(std::string_view option, std::string fallback) const {
  const auto it = values.find(std::string(option));
  return it == values.end() ? std::move(fallback) : it->second;
}

std::string usageLine(const Command& command) {
  std::string out = std::string(programName) + " " + joined(command.words);
  for (const char* operand : command.operands) {
    out += ' ';
    out += operand;
  }
  for (std::size_t i = 0; i < command.options.size(); ++i) {
    const Option& option = command.options[i];
    const bool continuesGroup =
        i > 0 && option.exclusiveGroup != 0 && command.options[i - 1].exclusiveGroup == option.exclusiveGroup;
    const bool groupGoesOn = i + 1 < command.options.size() && option.exclusiveGroup != 0 &&
                             command.options[i + 1].exclusiveGroup == option.exclusiveGroup;
    out += continuesGroup ? "|" : " [";
    out += optionUsage(option);
    if (!groupGoesOn) {
      out += ']';
    }
  }
  return out;
}

std::string helpHint(const std::string& helpFor) {
  return "'" + std::string(programName) + (helpFor.empty() ? "" : " " + helpFor) +
         " --help'로 사용법을 볼 수 있습니다.";
}

Parsed parse(const std::vector<std::string>& arguments) {
  struct Given {
    std::string name;
    std::optional<std::string> value;
  };
  std::vector<std::string> positionals;
  std::vector<Given> options;
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
      positionals.push_back(argument);
    } else if (argument == "--") {
      optionsEnded = true;
    } else if (argument == "-h" || argument == "--help") {
      help = true;
    } else if (argument == "--version") {
      version = true;
    } else if (const std::size_t equals = argument.find('='); equals != std::string::npos) {
      options.push_back({argument.substr(0, equals), argument.substr(equals + 1)});
    } else if (takesValue(argument)) {
      // The value is the next argument, even one that begins with "-".
      options.push_back({argument, i + 1 < arguments.size() ? std::optional(arguments[++i]) : std::nullopt});
    } else {
      options.push_back({argument, std::nullopt});
    }
  }

  const Command* command = findCommand(positionals);
  Parsed parsed;
  if (help) {
    if (command != nullptr) {
      parsed.output = commandHelp(*command);
    } else if (positionals.empty()) {
      parsed.output = generalHelp();
    } else if (isGroup(positionals.front()) && positionals.size() == 1) {
      parsed.output = groupHelp(positionals.front());
    } else {
      const bool inGroup = isGroup(positionals.front());
      throw UsageError(
          "알 수 없는 명령입니다: " + positionals.front() + (inGroup ? " " + positionals[1] : ""),
          inGroup ? positionals.front() : "");
    }
    return parsed;
  }
  if (version) {
    if (!positionals.empty() || !options.empty()) {
      throw UsageError("--version은 혼자 씁니다.", "");
    }
    parsed.output = std::string(programName) + " " + SAYLOOM_VERSION + "\n";
    return parsed;
  }
  if (positionals.empty()) {
    throw UsageError("명령을 지정해 주세요.", "");
  }
  if (command == nullptr) {
    if (isGroup(positionals.front())) {
      throw UsageError(positionals.size() == 1
                           ? "하위 명령을 지정해 주세요: " + positionals.front()
                           : "알 수 없는 명령입니다: " + positionals[0] + " " + positionals[1],
                       positionals.front());
    }
    throw UsageError("알 수 없는 명령입니다: " + positionals.front(), "");
  }

  const std::string helpFor = joined(command->words);
  parsed.command = command;
  std::vector<std::string>& operands = parsed.invocation.operands;
  operands.assign(positionals.begin() + static_cast<std::ptrdiff_t>(command->words.size()),
                  positionals.end());
  const std::size_t expected = command->operands.size();
  if (operands.size() < expected) {
    throw UsageError(
        std::string("인수가 부족합니다: ") + command->operands[operands.size()] + "이(가) 필요합니다.",
        helpFor);
  }
  if (operands.size() > expected) {
    throw UsageError("인수가 너무 많습니다: " + operands[expected], helpFor);
  }

  std::map<int, const Option*> chosenInGroup;
  for (const Given& given : options) {
    const Option* option = findOption(*command, given.name);
    if (option == nullptr) {
      throw UsageError("알 수 없는 옵션입니다: " + given.name, helpFor);
    }
    if (option->valueName == nullptr) {
      if (given.value) {
        throw UsageError("값을 받지 않는 옵션입니다: " + given.name, helpFor);
      }
      parsed.invocation.flags.insert(given.name);
    } else {
      if (!given.value) {
        throw UsageError("옵션에 값이 필요합니다: " + given.name + " " + option->valueName, helpFor);
      }
      parsed.invocation.values[given.name] = *given.value;
    }
    if (option->exclusiveGroup != 0) {
      const Option*& chosen = chosenInGroup[option->exclusiveGroup];
      if (chosen != nullptr && chosen != option) {
        throw UsageError(std::string("함께 쓸 수 없는 옵션입니다: ") + chosen->name + ", " + given.name,
                         helpFor);
      }
      chosen = option;
    }
  }
  return parsed;
}

const std::vector<Command>& commands() {
  static const std::vector<Command> table = withExportCommands({
      {{"notes", "list"},
       {},
       {jsonOption},
       "노트 목록을 최근 것부터 보여 줍니다",
       "한 줄에 노트 하나: ID, 만든 시각(UTC), 길이, 상태(완료/미완료/녹음 중), 제목을 탭으로 나눠 씁니다.\n"
       "읽지 못한 노트 폴더는 표준 오류에 알리고 건너뜁니다 (원본은 그대로 둡니다).\n",
       notesList},
      {{"notes", "show"},
       {"ID"},
       {jsonOption},
       "노트 하나의 정보와 대본을 보여 줍니다",
       "대본은 '대본 텍스트'로 내보낼 때와 같은 형식입니다.\n",
       notesShow},
      {{"recover"},
       {"ID"},
       {cpuOption},
       "저장된 오디오에서 노트의 대본을 다시 만듭니다",
       "앱의 '대본 복구'와 같습니다: 오디오 조각마다 Whisper로 인식해 대본에 넣고 노트를 저장합니다.\n"
       "Whisper 모델이 있어야 하며, 앱이 지금 녹음 중인 노트는 건드리지 않습니다.\n",
       recover},
      {{"transcribe"},
       {"FILE"},
       transcribeOptions(),
       "소리 파일을 받아써 표준 출력에 씁니다",
       "libsndfile이 읽는 소리 파일(WAV, FLAC, Ogg 등)을 16 kHz 모노로 바꿔 녹음과 같은 8초 조각으로\n"
       "나누고 차례로 인식합니다. 노트는 만들지 않습니다. 기본 출력은 구간마다 '[시:분:초] 텍스트' 한 "
       "줄입니다.\n",
       transcribe},
      {{"record"},
       {},
       {{"--system", nullptr, "마이크 대신 시스템 오디오(기본 출력 장치에서 나는 소리)를 녹음합니다"},
        {"--display", "N", "시스템 오디오를 녹음할 화면 번호 (1부터, 기본값 1; --system과 함께)"},
        {"--language", "L", "말하는 언어 (Whisper 언어 코드, 기본값 ko)"},
        {"--title", "T", "노트 제목"},
        cpuOption,
        {"--json", nullptr, "인식된 구간을 한 줄에 JSON 객체 하나로 씁니다 (README의 형식)"}},
       "새 노트에 녹음하며 인식된 구간을 차례로 씁니다",
       "앱의 녹음 버튼과 같습니다: 같은 노트와 오디오 조각, 같은 인식 순서, 조각마다 노트를 저장합니다.\n"
       "구간마다 '[시:분:초] 텍스트' 한 줄을 쓰고, 표준 오류가 터미널이면 경과 시간과 입력 레벨을\n"
       "보여 줍니다. Ctrl+C(또는 SIGTERM)로 멈추면 노트를 저장하고 남은 조각을 인식한 뒤 끝나며, 한 번 더\n"
       "누르면 곧바로 끝납니다 (끝난 조각은 이미 저장되어 있어 '대본 복구'로 처리할 수 있습니다).\n"
       "Whisper 모델이 있어야 하며, 한 데이터 폴더에서는 앱과 합쳐 녹음 하나만 진행됩니다.\n",
       record},
      {{"model", "download"},
       {},
       {},
       "Whisper 모델(ggml-base.bin)을 내려받아 검증한 뒤 설치합니다",
       "크기와 SHA-256이 맞는 파일만 설치된 모델을 바꿉니다 (SAYLOOM_MODEL_URL로 주소를 바꿀 수 있습니다).\n",
       modelDownload},
      {{"model", "check"}, {}, {}, "설치된 Whisper 모델의 크기와 SHA-256을 확인합니다", "", modelCheck},
      {{"presets", "export"},
       {"FILE"},
       {},
       "오버레이 프리셋 전체를 프리셋 파일로 내보냅니다",
       "",
       presetsExport},
      {{"presets", "import"},
       {"FILE"},
       {},
       "프리셋 파일의 프리셋을 꺼진 사본으로 가져옵니다",
       "앱의 '가져오기'와 같습니다 (1 MiB, 모두 합쳐 64개까지). 앱이 실행 중이면 앱이 다음에 설정을\n"
       "저장할 때 덮어쓰므로, 앱을 끈 뒤에 가져오세요.\n",
       presetsImport},
  });
  return table;
}

}  // namespace sayloom::cli
