#include "core/helptopics.h"

#include <QStringList>

namespace qh {

namespace {

// A topic is written as sections; a section is an optional heading on its own line followed by
// paragraphs, each paragraph on a new line indented by four spaces; an empty line separates
// sections.
struct Section {
    QString heading;
    QStringList paragraphs;
};

QString compose(const std::initializer_list<Section> &sections)
{
    QStringList out;
    for (const Section &s : sections) {
        QStringList lines;
        if (!s.heading.isEmpty())
            lines << s.heading;
        for (const QString &p : s.paragraphs)
            lines << QStringLiteral("    ") + p;
        out << lines.join(u'\n');
    }
    return out.join(QStringLiteral("\n\n"));
}

QString outpatientTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("使用门诊处方管理前，您最好将日常处方用药在“系统维护－药品名称编码”中进行登录，这样在开处方时就可以用鼠标"
                         "从药品类别、药品名称和使用剂量中选录，既快捷又不会出错。"),
          QStringLiteral("进入到“门诊处方管理”，窗口上方有三个窗口标签：门诊病案、门诊诊断、病案诊断心得。门诊病案用于登录和查看患者的"
                         "病案资料，门诊诊断用于录入患者每次就诊的诊断内容和处方，病案诊断心得用于记录医生对该患者的治疗心得。门诊诊断"
                         "和病案诊断心得两个标签只能从门诊病案窗口中的按键或诊断记录进入。")}},
        {QStringLiteral("门诊病案："),
         {QStringLiteral("窗口左上方为门诊病案号码查询区，列出了系统中全部患者的病历号码。用鼠标点击某一病历号码，窗口右边即显示该患者"
                         "的病案资料，窗口下方列出该患者历次的诊断时间、诊断科室、诊断医师和病症情况。"),
          QStringLiteral("登录新患者时，在空白的登录窗口中依次输入病历编号、患者姓名、性别、年龄、婚姻、初诊时间、末诊时间、职业、"
                         "家庭住址、工作单位、电子信箱和电话，每项输入完毕按回车键进入下一项。病历编号、患者姓名、性别、年龄、婚姻、"
                         "初诊时间和家庭住址为必输项目，电子信箱可以不填，时间按“年-月-日”的格式输入。"),
          QStringLiteral("输入完毕后按“资料保存/修改”键保存。病历编号和患者姓名保存后不能再修改，其它内容可以修改后再按此键保存。"),
          QStringLiteral("按“门诊诊断”键为当前患者登录一次新的诊断；用鼠标点击窗口下方诊断记录中的某一行，可以查看或修改该次诊断的"
                         "内容。"),
          QStringLiteral("按“编辑诊断心得”键进入病案诊断心得窗口，输入或修改该患者的治疗心得，按“保存/修改诊断心得”键保存，按"
                         "“打印诊断心得”键将患者情况和心得送到文字处理程序中打印，按“返回首页”键回到门诊病案窗口。"),
          QStringLiteral("按“清空登录窗口”键清空窗口中的全部内容，准备登录新的患者。鼠标移到电子信箱上并点击，可以直接给患者发送"
                         "电子邮件。按“退出门诊诊断”键关闭本窗口。")}},
        {QStringLiteral("门诊诊断："),
         {QStringLiteral("注意：处方中的内容，既可手工录入也可用鼠标选录。用鼠标选录时，先在药品类别中选择一个类别，窗口中即列出该"
                         "类别的全部药品；用鼠标双击药品名称，再双击使用剂量，系统即将药品名称、剂量和计量单位加到处方中。"),
          QStringLiteral("新诊断的病历号码和诊断时间由系统自动填写，不能修改。请依次输入诊断科室、诊断医师、血压、脉搏、呼吸、病史"
                         "陈述、诊断治疗、处方和使用方法，每项输入完毕按回车键进入下一项。同一患者在同一科室同一天只能有一次诊断"
                         "记录，再次保存时修改原来的诊断内容。"),
          QStringLiteral("按“返回首页”键回到门诊病案窗口。"),
          QStringLiteral("在输入完毕诊断内容后，请按保存键对诊断内容进行保存，点击打印处方或打印病历键对诊断内容进行打印。"),
          QStringLiteral("如果患者就诊后，需要复诊，用鼠标点击“复诊”的复选框，并标明复诊时间。")}},
    });
}

QString queryTopic()
{
    return compose({
        {QStringLiteral("查询条件输入"),
         {QStringLiteral("窗口上方为查询条件输入区，要查询复诊内容，用鼠标点击窗口左上方“复诊”，然后输入查询的起止时间，系统将查出复诊"
                         "时间在此时间段内的全部诊断记录。还可以输入病历编号、诊断科室、诊断医师、病症情况、患者姓名、患者年龄段、"
                         "治疗方案、治疗处方、婚姻和性别作为查询条件，这些内容只需输入其中的部分文字即可，不输入的项目不作限制。"),
          QStringLiteral("输入完毕后按“查询”键，符合条件的记录显示在窗口下方的表格中，表格上方显示记录的条数。"),
          QStringLiteral("用鼠标点击表格中的某一记录，窗口转到“查询内容显示”标签，显示该次诊断的全部内容，在“基本情况”标签中可以"
                         "查看该患者的基本资料。按“打印”键可以选择打印患者基本情况、患者当前病历、门诊处方或病症治疗心得；按“返回"
                         "首页”键回到查询条件输入窗口。"),
          QStringLiteral("查询“病历”的操作与上述内容相同（似）。"),
          QStringLiteral("按“清屏”键清除已输入的查询条件，按“退出”键关闭本窗口。"),
          QStringLiteral("在输入查询条件时，查询内容可以任意选择，但查询时间和患者年龄为必输项目。")}},
    });
}

QString stockQueryTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("此功能是查询系统药品购进入库、出库、药品入库出库明细、药品结余等数据，查询结果不在屏幕上显示，而是写入电子"
                         "表格文件，保存在“我的文档”文件夹中，可以用电子表格程序打开、查看和打印。"),
          QStringLiteral("查询时先用鼠标选择查询类别：药品入库、药品出库、库存明细表或药品结余，然后输入查询的起止时间。如果只查询某一"
                         "种药品，请在“药材编码”中输入该药品的编码并按回车键，系统自动显示药材名称；不输入编码则查询全部药品。"),
          QStringLiteral("输入完毕后按“查询”键，系统即生成电子表格文件；生成期间各按键暂停使用约5秒钟，请耐心等候。按“清屏”键恢复"
                         "查询条件的初始内容，按“退出”键关闭本窗口。"),
          QStringLiteral("当查询药品结余时，未结帐前结余数量反映的是药品实际结余数量，而结余金额中还包含已出库药品的金额，"
                         "要在药品结帐后才扣除出库药品的成本；药品结余反映的是当前的结余情况，与输入的查询时间无关。"),
          QStringLiteral("电子表格文件以查询的起止时间和查询类别命名，同一时间段再次查询时，原来的文件将被新的内容覆盖。切记！")}},
    });
}

QString drugListTopic()
{
    return compose({
        {QStringLiteral("保存："),
         {QStringLiteral("此功能是登录新的编码、名称、计量单位、单价等内容。先选择或输入药品类别，再依次输入药材编码、药材名称、计量单位"
                         "和药材销价，每项输入完毕按回车键进入下一项，最后按“保存”键保存。药材编码和药材名称都不能与已有的药品重复，"
                         "药材销价必须大于零。")}},
        {QStringLiteral("修改编码："),
         {QStringLiteral("在药材名称中输入要修改编码的药品名称，在药材编码中输入新的编码，并输入其它各项内容，按“修改编码”键保存。新的"
                         "编码不能与其它药品的编码重复。")}},
        {QStringLiteral("修改名称："),
         {QStringLiteral("在药材编码中输入要修改名称的药品编码，在药材名称中输入新的名称，并输入其它各项内容，按“修改药名”键保存。新的"
                         "名称不能与其它药品的名称重复；药品改名后，原来的库存资料仍保留在原药品名称下。")}},
        {QStringLiteral("修改其它："),
         {QStringLiteral("在药材编码中输入药品编码，修改药品类别、计量单位或药材销价后，按“修改其它”键保存，药品的编码和名称不变。")}},
        {QStringLiteral("删除："),
         {QStringLiteral("在药材编码中输入要删除的药品编码，按“删除”键删除该药品。"),
          QStringLiteral("按“清屏”键清除输入的内容；按“打印”键将药品编码名称对照表写入电子表格文件，保存在“我的文档”文件夹中。")}},
        {QStringLiteral("筛选和编码建议："),
         {QStringLiteral("在“筛选”框（用鼠标点击或按 Alt+F 进入）中输入药名的拼音首字母（如“hq”找黄芪、黄芩）、拼音、汉字或编码，"
                         "表格只显示找到的药品；清空筛选框即显示全部药品。在筛选框中按回车键，选取表格中显示的第一种药品。"),
          QStringLiteral("登录新药时，药材编码为空而已输入药材名称，编码框中会以灰色显示按药名拼音首字母建议的编码（已有此编码时"
                         "在后面加数字）；在空的编码框中按 → 键采用，也可以照旧输入自己的编码。不采用时不保存任何编码。"),
          QStringLiteral("药品入库、出库和处方计价窗口的药材编码框中，也可以输入药名的拼音首字母、拼音或汉字，从弹出的列表中用"
                         "↑↓键和回车键或用鼠标选取药品；输入的内容正是某一药品的编码（或只有数字）时，不弹出列表，按回车键照旧。")}},
        {QString(), {QStringLiteral("退出此窗口时，请按窗口右上角关闭键。")}},
    });
}

QString statisticsTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("此功能按月统计就诊人次、就诊人数（初诊和复诊）、处方收入、出库成本和药材用量。在“起始月份”和“截止月份”中按"
                         "“年-月”的格式输入要统计的月份，每项输入完毕按回车键，再按“统计”键，统计结果在下面的四个窗口标签中显示。"
                         "一次最多统计240个月。"),
          QStringLiteral("月度图表：每月的初诊、复诊人数和处方收入的柱形图，鼠标移到柱上即显示该月的数值。月度明细：每月的就诊人次、"
                         "就诊人数、初诊人数、复诊人数、处方收入、出库成本和毛利。药材排行：按处方收入、出库数量或出库成本排在前20位的"
                         "药材，其余药材合为“其他”一行。医师科室：各诊断医师和诊断科室的就诊人次及占比。")}},
        {QStringLiteral("统计口径："),
         {QStringLiteral("就诊人次是诊断记录的条数；就诊人数按病历编号计，同一患者一个月内多次就诊只计一人；患者第一次就诊所在的月份计为"
                         "初诊，以后各月计为复诊。处方收入是业务摘要为“处方收款出库”的药品出库记录的收款金额之和，与“药材库存查询”中"
                         "药品出库统计表同一时间的收款金额相符。"),
          QStringLiteral("出库成本在药品结帐时才计算，所以只统计已经结帐的月份：某月的出库记录全部计算了成本，并且在该月或以后结过帐，"
                         "该月即为已结帐；未结帐的月份不计出库成本和毛利。")}},
        {QStringLiteral("导出和打印："),
         {QStringLiteral("按“导出”键将统计表和图表写入电子表格，存放在“我的文档”中；按“打印”键将统计图打印出来，没有打印机时存为"
                         "PDF文件。按“清屏”键清除统计结果，按“退出”键关闭本窗口。")}},
    });
}

QString formulasTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("方剂维护用于登录诊所常用的方剂：经方、本诊所的协定方以及其它方剂。窗口左边是方剂表（方剂名称和出处），"
                         "右边是所选方剂的名称、出处、组成、功用、主治、用法和备注。")}},
        {QStringLiteral("新增与保存："),
         {QStringLiteral("按“新增”键清空右边各项，输入方剂名称、出处和组成等内容后按“保存”键保存。方剂名称和组成必须输入，方剂名称"
                         "不能与已有的方剂重复。组成按处方的写法输入，如“麻黄9克，桂枝6克，杏仁9克，炙甘草3克”，保存时标点按处方的"
                         "规则整理，开处方时调用的方剂与手写的处方按同一方法检查。"),
          QStringLiteral("在方剂表中点选一个方剂，右边显示它的内容，修改后按“保存”键保存修改，方剂名称也可以修改。")}},
        {QStringLiteral("删除："),
         {QStringLiteral("在方剂表中选择要删除的方剂，按“删除”键，确认后删除。")}},
        {QStringLiteral("导入经方："),
         {QStringLiteral("程序自带《伤寒论》《金匮要略》常用经方。按“导入经方”键，方剂表中没有的经方即被导入，出处为书名；方剂表中"
                         "已有同名方剂的（无论是否改动过），一律保留原样，不会被覆盖。导入完毕显示导入的首数和保留的首数。"),
          QStringLiteral("自带经方的剂量是按古今折算得出的参考量，请医师斟酌修改。")}},
        {QString(), {QStringLiteral("按“退出”键关闭本窗口。")}},
    });
}

QString usersTopic()
{
    return QStringLiteral("保存：登录新的用户姓名及密码；\n"
                          "修改：修改系统中已有用户的密码，修改时必须输入正确旧密码后才能对新密码进行保存；\n"
                          "删除：删除系统中的用户和更改用户名称，使用此键，删除时同样要求输入旧密码。\n"
                          "\n"
                          "    切记，在删除或修改用户密码时，用户无法对其他用户密码和用户名称进行删除或修改。");
}

} // namespace

QString helpTopicText(const QString &code)
{
    if (code == QLatin1String("MZ"))
        return outpatientTopic();
    if (code == QLatin1String("F-D"))
        return queryTopic();
    if (code == QLatin1String("YCKC"))
        return stockQueryTopic();
    if (code == QLatin1String("BM"))
        return drugListTopic();
    if (code == QLatin1String("FJ"))
        return formulasTopic();
    if (code == QLatin1String("MM"))
        return usersTopic();
    if (code == QLatin1String("JYTJ"))
        return statisticsTopic();
    return {};
}

} // namespace qh
